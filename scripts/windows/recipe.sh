# Sourced by build-deps.sh: what the Windows dependencies are built with, and
# nothing else. Every line here that is not a comment is part of the cache key
# (versions.sh), so a change to it builds them anew; comments are not.

# Bumped when a step of build-deps.sh changes what it produces in a way the
# options below do not show (say, a patch applied before configuring).
QW_RECIPE=1

# libjpeg-turbo: static, SIMD required, the libjpeg 6.2 interface.
QW_JPEG_OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
  -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF
)

# qtbase: only what the two programs and their tests load. Debian's source has
# no wintab.h (tablet events off); with OpenGL off the Windows platform plugin
# only compiles when dynamic GL is off too. zlib, libpng, FreeType, HarfBuzz
# and PCRE2 are Qt's bundled copies; JPEG and GIF image plugins are not built
# because the program decodes JPEG with libjpeg-turbo itself. moc, rcc and uic
# come from Debian's Qt of the same version.
QW_QT_OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF -DQT_GENERATE_SBOM=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
  -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_testlib=ON
  -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF
)

# Sourced by the scripts in scripts/windows: the pinned source packages, the
# options the Windows dependencies are built with, and the cache they go to.
# Any change here that alters the built files must change QW_KEY, so a cache
# built with other versions or options is never reused.

QW_DEBIAN_MIRROR="${QW_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
QW_DEBIAN_SECURITY_MIRROR="${QW_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}"
QW_DEBIAN_SUITE="${QW_DEBIAN_SUITE:-bookworm}"

# The same versions the Linux build links against.
QW_QT_DEBVER="6.4.2+dfsg-10"
QW_QT_DSC="qt6-base_${QW_QT_DEBVER}.dsc"
QW_QT_DSC_SHA256="1b4b5c8610a553d4211fa81e268b1a3b0a6339ae5444fdb7e60d7616da651970"
QW_JPEG_DEBVER="1:2.1.5-2"
QW_JPEG_DSC="libjpeg-turbo_2.1.5-2.dsc"
QW_JPEG_DSC_SHA256="d718ead0dfbcbc8523665c02a7f7152e31039ded641d022868722623bb3b486d"

QW_TRIPLET="x86_64-w64-mingw32"

# Bumped whenever the build recipes in build-deps.sh change what they produce.
QW_RECIPE=1
QW_KEY="qt${QW_QT_DEBVER%%+*}-jpeg2.1.5-${QW_TRIPLET%%-*}-posix-r${QW_RECIPE}"
QW_CACHE_ROOT="${QUORVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane-windows}"
QW_PREFIX="$QW_CACHE_ROOT/$QW_KEY"

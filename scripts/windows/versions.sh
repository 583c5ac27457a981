# Sourced by the scripts in scripts/windows: the pinned source packages, the
# cache they are built into and its key.

QW_DEBIAN_MIRROR="${QW_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
QW_DEBIAN_SECURITY_MIRROR="${QW_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}"
QW_DEBIAN_SUITE="${QW_DEBIAN_SUITE:-bookworm}"

# The same versions the Linux build links against: the first choice, trusted
# by the pinned hash of the .dsc. When the archive no longer has a revision,
# fetch-sources.sh takes the newest one of the same upstream version instead.
QW_QT_PACKAGE=qt6-base
QW_QT_DEBVER="6.4.2+dfsg-10"
QW_QT_DSC_SHA256="1b4b5c8610a553d4211fa81e268b1a3b0a6339ae5444fdb7e60d7616da651970"
QW_JPEG_PACKAGE=libjpeg-turbo
QW_JPEG_DEBVER="1:2.1.5-2"
QW_JPEG_DSC_SHA256="d718ead0dfbcbc8523665c02a7f7152e31039ded641d022868722623bb3b486d"

QW_TRIPLET="x86_64-w64-mingw32"
QW_CACHE_ROOT="${QUORVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane-windows}"

# The .dsc file name of a source package version (no epoch in file names).
qw_dsc() { # package version
  local version="${2#*:}"
  echo "${1}_${version}.dsc"
}

# The cache key: a readable name and a hash of everything that decides the
# built files: the Debian revisions of both packages, the MinGW compiler and
# its Windows headers, CMake, the options (recipe.sh) and the toolchain file,
# without their comments. The scripts' messages and logic are not in it.
qw_key() { # qt-version jpeg-version
  local here_dir
  here_dir="$(dirname "${BASH_SOURCE[0]}")"
  local digest
  digest="$(
    {
      echo "qt $1"
      echo "jpeg $2"
      dpkg-query -W -f '${Package} ${Version}\n' "g++-mingw-w64-x86-64-posix" \
        "mingw-w64-x86-64-dev" 2>/dev/null || "$QW_TRIPLET-g++-posix" --version 2>/dev/null | head -n 1
      cmake --version 2>/dev/null | head -n 1
      grep -hv '^[[:space:]]*\(#\|$\)' "$here_dir/recipe.sh" "$here_dir/toolchain-mingw64.cmake"
    } | sha256sum | cut -c1-12
  )"
  local qt="${1#*:}" jpeg="${2#*:}"
  echo "qt${qt%%+*}-jpeg${jpeg%%-*}-${QW_TRIPLET%%-*}-$digest"
}

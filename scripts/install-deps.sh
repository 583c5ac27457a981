#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# A quick no-op when everything is already there.
# Usage: install-deps.sh [perf | windows]
set -euo pipefail

PACKAGES=(
  build-essential cmake make pkg-config clang-format
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs libpng-dev
  googletest libgtest-dev libbenchmark-dev
  xvfb xauth openbox xdotool xclip wmctrl x11-utils x11-apps imagemagick
  weston qt6-wayland
  fonts-dejavu-core fonts-wqy-microhei
  librsvg2-bin desktop-file-utils appstream dpkg-dev file man-db
  xxd bsdextrautils sqlite3 python3
  qt6-translations-l10n
  at-spi2-core python3-pyatspi dbus-daemon
)

# `install-deps.sh perf`: also what `make perf-report` plots with.
if [ "${1:-}" = perf ]; then
  PACKAGES+=(python3-matplotlib)
fi

# `install-deps.sh windows`: the cross compiler (POSIX threads, for
# std::thread), NASM for libjpeg-turbo's SIMD code, Ninja and dpkg-source for
# the dependency build, Wine to run the tests, NSIS and zip to package.
if [ "${1:-}" = windows ]; then
  PACKAGES+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
             nasm ninja-build dpkg-dev xz-utils wine wine64 fonts-wine fonts-dejavu-core nsis zip unzip)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another apt run (an unattended upgrade, a second build) holds the lock for a while: wait for it.
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Makes build-windows/dist/quorvane-<version>-win64.zip and
# quorvane-<version>-win64-setup.exe from a finished Windows build: the two
# programs, exactly the DLLs they and their Qt plugins load, and the plugins.
# Usage: package.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-build-windows}" && pwd)"
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version="$(cache CMAKE_PROJECT_VERSION)"
qt_bin="$(cache QUORVANE_QT_BIN_DIR)"
[ -n "$qt_bin" ] || qt_bin="$(cd "$(cache Qt6_DIR)/../../../bin" && pwd)"
qt_plugins="$(cd "$qt_bin/../plugins" && pwd)"
mapfile -t runtime_dirs < <(for f in libstdc++-6.dll libwinpthread-1.dll; do
  dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$f)"; done)

name="quorvane-$version-win64"
stage="$build/stage/$name"
dist="$build/dist"
rm -rf "$build/stage" && mkdir -p "$stage" "$dist"
cmake --install "$build" --prefix "$stage" >/dev/null

# The Qt plugins the program loads: the Windows platform, its style, and the
# icon reader (BMP and PNG are built into Qt's Gui library).
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll; do
  mkdir -p "$stage/$(dirname "$plugin")"
  cp "$qt_plugins/$plugin" "$stage/$plugin"
done
# Qt's own texts in Chinese (Debian's catalogue: .qm files are the same on every
# platform), where the program and Qt's prefix below both look for them.
mkdir -p "$stage/translations"
cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"
# Plugins beside the program, never from the build machine's Qt prefix.
printf '[Paths]\nPrefix = .\nPlugins = .\n' >"$stage/qt.conf"

# The DLLs named in the import tables, followed from DLL to DLL; a name found
# in none of the folders is the system's own.
find_dll() {
  local dir
  for dir in "$qt_bin" "${runtime_dirs[@]}"; do
    [ -f "$dir/$1" ] && { echo "$dir/$1"; return 0; }
  done
  return 1
}
queue=("$stage"/*.exe "$stage"/*/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
  file="${queue[0]}"; queue=("${queue[@]:1}")
  while read -r dll; do
    key="${dll,,}"
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    if path="$(find_dll "$dll")"; then
      cp "$path" "$stage/$dll"
      queue+=("$stage/$dll")
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

rm -f "$dist/$name.zip"
(cd "$build/stage" && zip -q -r -9 -X "$dist/$name.zip" "$name")

# The installer lists every file it puts down, so the uninstaller removes
# exactly those.
nsh="$build/stage/files.nsh"
bash "$here/installer-files.sh" "$stage" >"$nsh"
size_kb=$(du -sk "$stage" | cut -f1)
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES_NSH="$nsh" -DSIZE_KB="$size_kb" \
  -DICON="$here/../../desktop/windows/quorvane.ico" -DOUTFILE="$dist/$name-setup.exe" \
  "$here/installer.nsi"

ls -l "$dist/$name.zip" "$dist/$name-setup.exe"
echo "windows: files in the zip:"; (cd "$build/stage" && find "$name" -type f | sort | sed 's/^/  /')

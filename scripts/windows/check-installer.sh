#!/usr/bin/env bash
# Checks a Windows installer under Wine, in a fresh Wine prefix of its own:
# the silent per-user install puts down exactly the staged files, the Start
# menu entry points at quorvane.exe, the installed quorvane-hex turns a
# corpus JPEG into hex and back byte for byte (skipped with --no-program),
# and the uninstaller leaves no file, folder, entry or registry key behind.
# Usage: check-installer.sh SETUP.EXE STAGE-DIR [--no-program]
set -euo pipefail
setup="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
stage="$(cd "$2" && pwd)"
corpus="${QUORVANE_CORPUS:-$(cd "$(dirname "$0")/../.." && pwd)/../shared/corpus}"
work="$(mktemp -d /tmp/quorvane-installer.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

wineboot -i >/dev/null 2>&1 && wineserver -w
user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
install_dir="$user_dir/AppData/Local/Programs/Quorvane"
shortcut="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvane.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane'
snapshot() { (cd "$WINEPREFIX/drive_c" && find . | sort); }
before="$(snapshot)"

wine "$setup" /S && wineserver -w
[ -d "$install_dir" ] || fail "nothing installed in $install_dir"
diff <(cd "$stage" && find . -type f | sort) \
     <(cd "$install_dir" && find . -type f ! -name Uninstall.exe | sort) \
  || fail "the installed files differ from the staged ones"
[ -f "$shortcut" ] || fail "no Start menu entry"
strings -e l "$shortcut" | grep -qi 'Programs\\Quorvane\\quorvane\.exe$' \
  || fail "the Start menu entry does not start quorvane.exe"
wine reg query "$key" >/dev/null 2>&1 || fail "no uninstall entry in the registry"

if [ "${3:-}" != --no-program ]; then
  picture="$corpus/jpeg/good/ljt-testorig.jpg"
  hex_tool="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Quorvane\\quorvane-hex.exe"
  cp "$picture" "$work/in.jpg"
  (cd "$work" && wine "$hex_tool" to-hex in.jpg -o in.hex && wine "$hex_tool" to-jpeg in.hex -o out.jpg) \
    || fail "the installed quorvane-hex failed"
  [ "$(tr -d '\r\n' <"$work/in.hex")" = "$(od -An -v -tx1 "$picture" | tr -d ' \n' | tr a-f A-F)" ] \
    || fail "to-hex text differs from od's"
  cmp "$picture" "$work/out.jpg" || fail "the round trip is not byte-exact"
fi

wine "$install_dir/Uninstall.exe" /S && wineserver -w
# The uninstaller runs from a copy in the temporary folder; wait for it.
for _ in $(seq 100); do [ -e "$install_dir" ] || break; wineserver -w; sleep 0.1; done
[ ! -e "$install_dir" ] || fail "left behind: $(cd "$install_dir" && find . | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start menu entry is left"
! wine reg query "$key" >/dev/null 2>&1 || fail "the uninstall key is left"
left="$(comm -13 <(echo "$before") <(snapshot) | grep -iv '/temp\b\|/temp/' || true)"
[ -z "$left" ] || fail "left behind: $left"
echo "PASS: installer $(basename "$setup")"

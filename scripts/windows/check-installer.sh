#!/usr/bin/env bash
# Checks a Windows installer under Wine, in a fresh Wine prefix of its own:
# the silent per-user install puts down exactly the staged files, the Start
# menu entry points at quorvane.exe and, opened as the Start menu opens it on
# a private Xvfb display, shows the program's window, which closes when asked;
# the installed quorvane-hex turns a corpus JPEG into hex and back byte for
# byte (both skipped with --no-program), and the uninstaller leaves no file,
# folder, entry or registry key behind.
# Usage: check-installer.sh SETUP.EXE STAGE-DIR [--no-program]
set -euo pipefail
setup="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
stage="$(cd "$2" && pwd)"
corpus="${QUORVANE_CORPUS:-$(cd "$(dirname "$0")/../.." && pwd)/../shared/corpus}"
WORK="$(mktemp -d /tmp/quorvane-installer.XXXXXX)"
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# shellcheck source=../lib/x_session.sh
source "$(dirname "$0")/../lib/x_session.sh"
cleanup() {
  wineserver -k 2>/dev/null || true
  stop_display
  rm -rf "$WORK"
}
trap cleanup EXIT

# A display of its own from the start: Wine's desktop process starts with the
# prefix's first program and keeps that program's display for all later ones.
start_xvfb

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
# "Open with" for .jpg and .jpeg, for this user, starting the installed program.
classes='HKCU\Software\Classes'
open_with_keys=("$classes\\Applications\\quorvane.exe" "$classes\\Quorvane.jpg")
# (A backslash before $ in double quotes keeps the $: hence \\ before each name.)
for ext in .jpg .jpeg; do
  wine reg query "$classes\\$ext\\OpenWithProgids" /v Quorvane.jpg >/dev/null 2>&1 \
    || fail "Open with is not offered for $ext"
done
wine reg query "$classes\\Quorvane.jpg\\shell\\open\\command" 2>/dev/null | tr -d '\r' \
  | grep -qi 'Programs\\Quorvane\\quorvane\.exe" "%1"' \
  || fail "the Open with command does not start the installed quorvane.exe"

if [ "${3:-}" != --no-program ]; then
  # The Start menu entry, opened the way the shell opens it (Wine's start
  # follows the shortcut to its target), shows the main window.
  wine start /unix "$shortcut"
  until_ok 120 xdotool search --onlyvisible --name '^Quorvane$' \
    || fail "the Start menu entry did not show the program's window"
  # Closing it as the window's close button does ends the program.
  wine taskkill /im quorvane.exe >/dev/null 2>&1 || fail "the program could not be asked to close"
  until_ok 60 sh -c '! xdotool search --name "^Quorvane$"' || fail "the program did not close"
  wineserver -w

  picture="$corpus/jpeg/good/ljt-testorig.jpg"
  hex_tool="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Quorvane\\quorvane-hex.exe"
  cp "$picture" "$WORK/in.jpg"
  (cd "$WORK" && wine "$hex_tool" to-hex in.jpg -o in.hex && wine "$hex_tool" to-jpeg in.hex -o out.jpg) \
    || fail "the installed quorvane-hex failed"
  [ "$(tr -d '\r\n' <"$WORK/in.hex")" = "$(od -An -v -tx1 "$picture" | tr -d ' \n' | tr a-f A-F)" ] \
    || fail "to-hex text differs from od's"
  cmp "$picture" "$WORK/out.jpg" || fail "the round trip is not byte-exact"
fi

wine "$install_dir/Uninstall.exe" /S && wineserver -w
# The uninstaller runs from a copy in the temporary folder; wait for it.
for _ in $(seq 100); do [ -e "$install_dir" ] || break; wineserver -w; sleep 0.1; done
[ ! -e "$install_dir" ] || fail "left behind: $(cd "$install_dir" && find . | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start menu entry is left"
! wine reg query "$key" >/dev/null 2>&1 || fail "the uninstall key is left"
for open_with_key in "${open_with_keys[@]}"; do
  ! wine reg query "$open_with_key" >/dev/null 2>&1 || fail "left in the registry: $open_with_key"
done
for ext in .jpg .jpeg; do
  ! wine reg query "$classes\\$ext\\OpenWithProgids" /v Quorvane.jpg >/dev/null 2>&1 \
    || fail "Open with is still offered for $ext"
done
left="$(comm -13 <(echo "$before") <(snapshot) | grep -iv '/temp\b\|/temp/' || true)"
[ -z "$left" ] || fail "left behind: $left"
echo "PASS: installer $(basename "$setup")"

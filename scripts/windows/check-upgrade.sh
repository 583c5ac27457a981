#!/usr/bin/env bash
# Checks the installer over an older version under Wine, in a fresh Wine
# prefix of its own and without a display (the silent installer shows no
# window): an older version (the same files and one the new one no longer
# ships) installs; the new installer refuses, with exit code 2, while the
# installed quorvane-hex runs, and leaves it as it was; once that has ended it
# replaces the older version, the file it no longer ships is gone, and each
# program's description (what Task Manager shows) is its short name; the
# registry's QuietUninstallString removes everything.
# Usage: check-upgrade.sh SETUP.EXE STAGE-DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
setup="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
stage="$(cd "$2" && pwd)"
work="$(mktemp -d /tmp/quorvane-upgrade.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
holder=""
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
until_ok() { # SECONDS COMMAND...
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# The older version: the staged files and one more, under an older number.
old_stage="$work/old/quorvane-0.0.1-win64"
mkdir -p "$old_stage"
cp -r "$stage/." "$old_stage/"
echo "shipped by the older version only" >"$old_stage/old-only.txt"
bash "$here/installer-files.sh" "$old_stage" >"$work/old/files.nsh"
makensis -V1 -INPUTCHARSET UTF8 -DVERSION=0.0.1 -DFILES_NSH="$work/old/files.nsh" -DSIZE_KB=1 \
  -DICON="$here/../../desktop/windows/quorvane.ico" -DOUTFILE="$work/old/older-setup.exe" \
  "$here/installer.nsi" >/dev/null

wineboot -i >/dev/null 2>&1 && wineserver -w
install_dir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Quorvane"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane'
value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }

wine "$work/old/older-setup.exe" /S && wineserver -w
[ -f "$install_dir/old-only.txt" ] || fail "the older version did not install"
[ "$(value DisplayVersion)" = 0.0.1 ] || fail "the older version is not registered"

# A running copy: the installed quorvane-hex waiting for standard input.
mkfifo "$work/input"
(cd "$work" && exec wine "$install_dir/quorvane-hex.exe" to-jpeg -o held.jpg <"$work/input") &
exec 5>"$work/input"
holder=$!
until_ok 60 pgrep -f 'Quorvane.quorvane-hex\.exe' || fail "quorvane-hex did not start"
status=0
wine "$setup" /S || status=$?
[ "$status" = 2 ] || fail "installing over a running copy: exit code $status, not 2"
[ -f "$install_dir/old-only.txt" ] && [ "$(value DisplayVersion)" = 0.0.1 ] \
  || fail "installing over a running copy changed the installed version"
exec 5>&-
wait "$holder" || true
holder=""
wineserver -w

wine "$setup" /S && wineserver -w
[ ! -e "$install_dir/old-only.txt" ] || fail "the file the new version no longer ships is left"
diff <(cd "$stage" && find . -type f | sort) \
     <(cd "$install_dir" && find . -type f ! -name Uninstall.exe | sort) \
  || fail "the installed files differ from the staged ones"
[ "$(value DisplayVersion)" != 0.0.1 ] || fail "the new version is not registered"
# Task Manager names a program by its version resource's description.
for program in quorvane quorvane-hex; do
  description="$(strings -e l "$install_dir/$program.exe" | grep -x -A1 FileDescription | tail -n 1)"
  [ "$description" = "$([ $program = quorvane ] && echo Quorvane || echo quorvane-hex)" ] \
    || fail "$program.exe describes itself as \"$description\""
done

# The quiet command as a package manager runs it: "<uninstaller>" /S.
quiet="$(value QuietUninstallString)"
uninstaller="$(sed -n 's|^"\(.*\\Uninstall\.exe\)" /S$|\1|p' <<<"$quiet")"
[ -n "$uninstaller" ] || fail "QuietUninstallString is \"$quiet\""
wine "$uninstaller" /S && wineserver -w
until_ok 30 test ! -e "$install_dir" || fail "the quiet uninstall left: $(cd "$install_dir" && find . | tr '\n' ' ')"
! wine reg query "$key" >/dev/null 2>&1 || fail "the quiet uninstall left the registry key"
echo "PASS: installer over an older version and over a running copy ($(basename "$setup"))"

#!/usr/bin/env bash
# quorvane-hex.exe under Wine, run as a script on Windows would run it: a
# corpus JPEG to hex (od's upper-case hex of the file) and back byte for
# byte, through files with Chinese names and through standard input and
# output; an open failure names the full Windows path and the system's text;
# a read-only output is refused; names differing by case are one output; a
# console shows the messages' characters.
set -euo pipefail
HEX=${QUORVANE_HEX:?path of quorvane-hex.exe}
WINE_RUN=${QUORVANE_WINE_RUN:?path of wine-run.sh in the Windows build}
CORPUS=${QUORVANE_CORPUS:?}
work=$(mktemp -d /tmp/quorvane-cli-wine.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { (cd "$work" && "$WINE_RUN" "$HEX" "$@"); }
upper_hex_of() { od -An -v -tx1 "$1" | tr -d ' \n' | tr a-f A-F; }

picture="$CORPUS/jpeg/good/ljt-testorig.jpg"
cp "$picture" "$work/图片 一.jpg"
run to-hex "图片 一.jpg" -o "文本.hex" || fail "to-hex into a file"
[ "$(cat "$work/文本.hex")" = "$(upper_hex_of "$picture")" ] || fail "to-hex text differs from od's"
run to-jpeg "文本.hex" -o "还原.jpg" || fail "to-jpeg from a file"
cmp "$picture" "$work/还原.jpg" || fail "the round trip through files is not byte-exact"

# Standard output and input carry the bytes untouched (no text-mode CR LF).
run to-hex "图片 一.jpg" >"$work/stdout.hex" || fail "to-hex to standard output"
cmp "$work/文本.hex" "$work/stdout.hex" || fail "standard output differs from the file"
run to-jpeg -o "stdin.jpg" <"$work/stdout.hex" || fail "to-jpeg from standard input"
cmp "$picture" "$work/stdin.jpg" || fail "the round trip through standard input is not byte-exact"

# An open failure: exit code 1, the full Windows path, a system text.
status=0
run to-hex "missing.jpg" -o out.hex 2>"$work/err.txt" || status=$?
[ "$status" = 1 ] || fail "exit code $status for a missing file"
grep -q 'Cannot open file "[A-Z]:\\.*\\missing\.jpg"\. [^ ]' "$work/err.txt" \
  || fail "unexpected message: $(cat "$work/err.txt")"
[ ! -e "$work/out.hex" ] || fail "an output was left for a failed run"
# A read-only output is left as it is, and no temporary file beside it.
echo "old text" >"$work/kept.hex"
chmod a-w "$work/kept.hex"
status=0
run to-hex "图片 一.jpg" -o kept.hex 2>"$work/err.txt" || status=$?
[ "$status" = 1 ] || fail "exit code $status for a read-only output"
grep -q 'Cannot create file "[A-Z]:\\.*\\kept\.hex"\. [^ ]' "$work/err.txt" \
  || fail "unexpected message: $(cat "$work/err.txt")"
[ "$(cat "$work/kept.hex")" = "old text" ] || fail "the read-only output was changed"
! ls -A "$work" | grep -q '\.tmp$' || fail "left behind: $(ls -A "$work" | grep '\.tmp$')"

# Names that differ only by case are one file here: two outputs would be one.
status=0
run to-hex "图片 一.jpg" "图片 一.JPG" 2>"$work/err.txt" || status=$?
[ "$status" = 2 ] || fail "exit code $status for two inputs with one output"
grep -qF "more than one FILE would be written to 图片 一.JPG.hex" "$work/err.txt" \
  || fail "unexpected message: $(cat "$work/err.txt")"

# In a console (a terminal here), messages arrive as characters, whatever the
# console's code page; redirected, they stay UTF-8 bytes (checked above).
LC_ALL=C.UTF-8 script -qec "cd '$work' && '$WINE_RUN' '$HEX' to-hex 缺失的图片.jpg" /dev/null \
  >"$work/console.txt" 2>&1 || true
grep -qF "缺失的图片.jpg" "$work/console.txt" \
  || fail "the console shows: $(tr -d '\r' <"$work/console.txt")"
echo "PASS: quorvane-hex under Wine"

#!/usr/bin/env bash
# quorvane-hex against the stock tools, in one run: to-hex beside
# `basenc --base16 -w0` and `xxd -p -u -c 0`, to-jpeg beside `xxd -r -p` and
# `basenc -d --base16`, on a 10 MB and a 100 MB JPEG of noise. Every command
# writes a file in the same folder. Budgets: to-hex at least 10x faster than
# basenc, to-jpeg at least 10x faster than xxd -r -p.
# Usage: cli_bench.sh [BUILD]   (hyperfine JSON goes to BUILD/bench/)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
hex="$build/bin/quorvane-hex"
[ -x "$hex" ] || { echo "cli_bench: $hex is not built" >&2; exit 1; }
for tool in hyperfine xxd basenc cjpeg python3; do
  command -v "$tool" >/dev/null || { echo "cli_bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
data="$build/bench/cli-data"
mkdir -p "$data"
cd "$data"

# Noise compresses to about 2 bytes per pixel at quality 100.
make_picture() {  # name side
  [ -s "$1.jpg" ] && return
  { printf 'P6\n%d %d\n255\n' "$2" "$2"; head -c $(($2 * $2 * 3)) /dev/urandom; } |
    cjpeg -quality 100 > "$1.jpg"
}
make_picture 10mb 2250
make_picture 100mb 7120
status=0
for size in 10mb 100mb; do
  "$hex" to-hex "$size.jpg" -o "$size.hex"
  echo "== $size.jpg: $(stat -c %s "$size.jpg") bytes"
  hyperfine --warmup 1 --runs 10 --export-json "$build/bench/cli_to_hex_$size.json" \
    -n quorvane-hex "'$hex' to-hex $size.jpg -o out-q.hex" \
    -n basenc "basenc --base16 -w0 $size.jpg > out-b.hex" \
    -n xxd "xxd -p -u -c 0 $size.jpg > out-x.hex"
  hyperfine --warmup 1 --runs 10 --export-json "$build/bench/cli_to_jpeg_$size.json" \
    -n quorvane-hex "'$hex' to-jpeg $size.hex -o out-q.jpg" \
    -n xxd "xxd -r -p $size.hex out-x.jpg" \
    -n basenc "basenc -d --base16 $size.hex > out-b.jpg"
  cmp -s out-q.hex "$size.hex" && cmp -s out-q.jpg "$size.jpg" ||
    { echo "cli_bench: quorvane-hex output differs" >&2; status=1; }
  rm -f out-*
done

python3 - "$build/bench" <<'PY'
import json, sys
folder = sys.argv[1]
def means(name):
    with open(f"{folder}/{name}.json") as f:
        return {r["command"]: r["median"] for r in json.load(f)["results"]}
# Medians: the machine is shared, and a neighbour's burst should not decide.
print("\n%-8s %-8s %12s %12s %12s" % ("command", "picture", "quorvane-hex", "baseline", "speed-up"))
for size in ("10mb", "100mb"):
    for command, name, baseline in (("to-hex", "cli_to_hex", "basenc"), ("to-jpeg", "cli_to_jpeg", "xxd")):
        m = means(f"{name}_{size}")
        ratio = m[baseline] / m["quorvane-hex"]
        verdict = "budget met" if ratio >= 10 else "BUDGET MISSED (10x)"
        print("%-8s %-8s %10.1f ms %7.1f ms %-6s %6.1fx  %s" % (command, size, m["quorvane-hex"] * 1e3,
              m[baseline] * 1e3, baseline, ratio, verdict))
PY
exit $status

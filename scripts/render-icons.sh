#!/usr/bin/env bash
# Regenerates the icon files that are derived from hand-drawn sources; the
# results are committed, so the build needs neither tool.
#   desktop/icons/*.svg  -> desktop/icons/hicolor/<size>/apps/*.png  (rsvg-convert,
#                           or ImageMagick when librsvg2-bin is missing)
#                        -> desktop/windows/quorvane.ico              (and ImageMagick)
#   app/icons/<name>.xpm -> app/icons/<name>_grey.xpm                  (plain bash)
set -euo pipefail
cd "$(dirname "$0")/.."

id=org.quorvane.Quorvane
icons=desktop/icons

render() {  # svg size out
  mkdir -p "$(dirname "$3")"
  if command -v rsvg-convert >/dev/null; then
    rsvg-convert -w "$2" -h "$2" "$1" -o "$3"
  else
    convert -background none -density $((96 * $2 / 16)) "$1" -resize "$2x$2" "$3"
  fi
}

# Small sizes from the pixel-grid drawing (32 is exactly twice 16), large ones
# from the full drawing.
for size in 16 32; do render "$icons/$id-16.svg" $size "$icons/hicolor/${size}x${size}/apps/$id.png"; done
for size in 48 256; do render "$icons/$id.svg" $size "$icons/hicolor/${size}x${size}/apps/$id.png"; done

# The Windows icon: every size Windows asks for at 100, 125 and 150 % scaling
# (16/20/24 in lists and title bars, 32/40/48 on the desktop), and 256 for
# large views; the pixel-grid drawing up to 32. ImageMagick stores 256 as PNG,
# the rest as bitmaps, as the resource compiler and the installer expect.
ico_dir=$(mktemp -d)
for size in 16 20 24 32; do render "$icons/$id-16.svg" $size "$ico_dir/$size.png"; done
for size in 40 48 256; do render "$icons/$id.svg" $size "$ico_dir/$size.png"; done
/usr/bin/convert "$ico_dir"/{16,20,24,32,40,48,256}.png desktop/windows/quorvane.ico
rm -rf "$ico_dir"

# Grey copies of the toolbar icons: every colour becomes a lightened grey
# (128 + luminance / 2), the transparent pixels stay transparent.
for source in app/icons/*.xpm; do
  case $source in *_grey.xpm) continue ;; esac
  name=$(basename "$source" .xpm)
  target=app/icons/${name}_grey.xpm
  while IFS= read -r line; do
    if [[ $line =~ ^\"(.)\ c\ \#([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})\",$ ]]; then
      r=$((16#${BASH_REMATCH[2]})) g=$((16#${BASH_REMATCH[3]})) b=$((16#${BASH_REMATCH[4]}))
      grey=$((128 + (r * 11 + g * 16 + b * 5) / 32 / 2))
      printf '"%s c #%02X%02X%02X",\n' "${BASH_REMATCH[1]}" $grey $grey $grey
    elif [[ $line == "static const char* const ${name}[] = {" ]]; then
      echo "static const char* const ${name}_grey[] = {"
    else
      printf '%s\n' "$line"
    fi
  done <"$source" >"$target"
done
echo "icons rendered"

#!/usr/bin/env bash
# Renders every bitmap icon from the one drawing, io.github.trivexa.Trivexa.svg:
#   the PNGs the Linux desktop and window use, and
#   src/app/win32/trivexa.ico, the Windows program's icon.
# The results are committed, so a build needs neither tool; run this (`make
# icons`) after changing the drawing. Needs rsvg-convert (librsvg2-bin) and
# icotool (icoutils).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
app_id=io.github.trivexa.Trivexa
png_sizes="16 24 32 48 64 128 256"
ico_sizes="16 24 32 48 256"

for tool in rsvg-convert icotool; do
  command -v "$tool" >/dev/null || { echo "render-icons: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for size in $png_sizes; do
  rsvg-convert -w "$size" -h "$size" -f png -o "$work/$size.png" "$here/$app_id.svg"
  cp "$work/$size.png" "$here/$app_id-$size.png"
done

# 32-bit images with alpha; the 256-pixel one stays PNG-compressed (-r), as
# Windows Vista and later read it, which keeps the file small.
args=()
for size in $ico_sizes; do
  if [ "$size" -ge 256 ]; then args+=(-r "$work/$size.png"); else args+=("$work/$size.png"); fi
done
icotool -c -o "$root/src/app/win32/trivexa.ico" "${args[@]}"
icotool -l "$root/src/app/win32/trivexa.ico"

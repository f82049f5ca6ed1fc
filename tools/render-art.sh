#!/usr/bin/env bash
# Renders the kitten's vector sources (resources/art/*.svg) to the rasters the program loads:
#   resources/frames/<name>.png     100 x 100, and <name>@1.25x.png, @1.5x.png and @2x.png (125,
#                                   150 and 200 pixels square) for high-DPI screens,
#                                   flattened onto pure white: the window's shape is cut where a
#                                   pixel has the colour of pixel (0, 0), the white background;
#   resources/icon.png, icon@2x.png 32 x 32 and 64 x 64, transparency kept;
#   resources/mofurin.ico           16, 32 and 48 pixels, for the Windows resource file;
#   resources/icons/hicolor/<N>x<N>/apps/mofurin.png
#                                   the desktop's icon at 16, 32, 48, 64, 128 and 256 pixels,
#                                   transparency kept, installed into the hicolor theme.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert. Run it after editing the art and
# commit the rasters with the sources.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
art="$top/resources/art"
out="$top/resources/frames"
mkdir -p "$out"

for svg in "$art"/rest.svg "$art"/frame?.svg; do
    name=$(basename "$svg" .svg)
    # One raster per common screen scale (100, 125, 150 and 200 %), so that the picture and the
    # window's shape cut from it are drawn at the screen's own pixels there.
    for scale in 1 1.25 1.5 2; do
        size=$(awk "BEGIN { print int(100 * $scale + 0.5) }")
        suffix=""
        if [ "$scale" != 1 ]; then suffix="@${scale}x"; fi
        # -strip drops the time stamps, so re-rendering unchanged art gives identical files.
        rsvg-convert -w "$size" -h "$size" "$svg" |
            convert - -background white -flatten -alpha off -strip "PNG24:$out/$name$suffix.png"
    done
done

rsvg-convert -w 32 -h 32 "$art/icon.svg" | convert - -strip "PNG32:$top/resources/icon.png"
rsvg-convert -w 64 -h 64 "$art/icon.svg" | convert - -strip "PNG32:$top/resources/icon@2x.png"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 32 48; do
    rsvg-convert -w "$size" -h "$size" "$art/icon.svg" > "$tmp/icon$size.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" "$top/resources/mofurin.ico"

for size in 16 32 48 64 128 256; do
    dir="$top/resources/icons/hicolor/${size}x${size}/apps"
    mkdir -p "$dir"
    rsvg-convert -w "$size" -h "$size" "$art/icon.svg" | convert - -strip "PNG32:$dir/mofurin.png"
done

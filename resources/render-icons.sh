#!/usr/bin/env bash
# Regenerates the committed .ico files in this folder from the SVG sources in icons/.
# Run it by hand after changing an SVG; the build only uses the .ico files.
#
# Every icon is drawn on one or more pixel grids: icons/<name>-<grid>.svg (viewBox 0 0 <grid> <grid>).
# Each size in the .ico is rendered from the source drawn for exactly that size, or else from the
# largest grid that divides the size (an integer scale keeps the pixel edges crisp), or else from the
# grid whose scale factor is closest to 1.
#
# Output: 16, 20, 24, 32 and 48 px, 32-bit BGRA with an AND mask, stored as uncompressed BMP entries
# (no PNG entries: those are only valid for 256 px images on older Windows).
#
# Needs: rsvg-convert (librsvg2-bin), icotool (icoutils).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src_dir="$here/icons"
icons=(olico olicod bell task wendlock reminders)
sizes=(16 20 24 32 48)

for tool in rsvg-convert icotool; do
    command -v "$tool" >/dev/null || { echo "render-icons.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints the source SVG to use for icon $1 at size $2.
pick_source() {
    local name=$1 size=$2 f grid best="" best_divisor=0 best_dist=""
    local grids=()
    for f in "$src_dir/$name"-*.svg; do
        [[ -e $f ]] || continue
        grid=${f##*-}
        grid=${grid%.svg}
        [[ $grid =~ ^[0-9]+$ ]] && grids+=("$grid")
    done
    if ((${#grids[@]} == 0)); then
        echo "render-icons.sh: no sources for $name in $src_dir" >&2
        return 1
    fi
    for grid in "${grids[@]}"; do
        if ((size % grid == 0 && grid > best_divisor)); then
            best_divisor=$grid
        fi
    done
    if ((best_divisor > 0)); then
        echo "$src_dir/$name-$best_divisor.svg"
        return 0
    fi
    # No integer scale: the grid with the smallest scale distance, measured as max(a,b)/min(a,b)
    # scaled by 1000 to stay in integer arithmetic.
    for grid in "${grids[@]}"; do
        local dist
        if ((grid > size)); then dist=$((grid * 1000 / size)); else dist=$((size * 1000 / grid)); fi
        if [[ -z $best_dist ]] || ((dist < best_dist)); then
            best_dist=$dist
            best=$grid
        fi
    done
    echo "$src_dir/$name-$best.svg"
}

for name in "${icons[@]}"; do
    pngs=()
    for size in "${sizes[@]}"; do
        svg=$(pick_source "$name" "$size")
        png="$work/$name-$size.png"
        rsvg-convert --width="$size" --height="$size" --format=png --output="$png" "$svg"
        pngs+=("$png")
        echo "  $name $size px <- ${svg#"$here"/}"
    done
    # -b 32: always 32-bit entries, so every size keeps its soft alpha edge.
    icotool --create --bit-depth=32 --output="$work/$name.ico" "${pngs[@]}"
    mv -f "$work/$name.ico" "$here/$name.ico"
    echo "$name.ico"
done

#!/usr/bin/env bash
# Renders the icon sources resources/image/*.svg into the PNGs the resource bundle holds:
# 32 x 32 for the icons, 256 x 256 for the application icon (app.svg).
# Needs rsvg-convert (Debian package librsvg2-bin). Only needed after editing an icon; the
# PNGs are kept in the repository, so a build does not need it.
# Usage: scripts/render-icons.sh [name ...]    (default: every icon)
set -euo pipefail

cd "$(dirname "$0")/../resources/image"
if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
    exit 1
fi

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for svg in *.svg; do
        names+=("${svg%.svg}")
    done
fi

for name in "${names[@]}"; do
    size=32
    [ "$name" = app ] && size=256
    rsvg-convert --width "$size" --height "$size" --format png --output "$name.png" "$name.svg"
done
echo "rendered ${#names[@]} icon(s)"

#!/usr/bin/env bash
# Takes the pictures of the user manual (docs/manual/images/*.png): builds the screenshot
# driver (tools/manualshots), which starts the main window on the simulated meter under a
# virtual display and uses it as a user would, then trims the pictures for the manual.
#
# Usage: scripts/take-screenshots.sh [build folder]      (default: build)
# Needs: xvfb (xvfb-run), poppler-utils (pdftoppm), imagemagick (convert).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=${1:-build}
images=$src/docs/manual/images

for tool in xvfb-run pdftoppm convert; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target manualshots

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT

# The simulated meter: a described adapter (no serial port needed) and a reading every
# 100 ms, so that a measurement fills its charts in seconds. A plain desktop: the toolkit's
# own file dialog and the English interface.
status=0
env -u QT_QPA_PLATFORMTHEME -u XDG_CURRENT_DESKTOP \
    LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb \
    METER_SIM_PORT=virtual METER_SIM_INTERVAL_MS=100 \
    xvfb-run -a -s "-screen 0 1280x900x24" \
    "$build/tools/manualshots/bin/manualshots" "$shots" || status=$?

# The PDF report: the top of its first page.
if [ -f "$shots/report.pdf" ]; then
    pdftoppm -png -r 90 -f 1 -l 1 "$shots/report.pdf" "$shots/report-page"
    page=$(ls "$shots"/report-page*.png | head -n 1)
    convert "$page" -gravity North -crop 100%x38%+0+0 +repage "$shots/report.png"
    rm -f "$shots"/report-page*.png "$shots/report.pdf"
fi

mkdir -p "$images"
for png in "$shots"/*.png; do
    [ -e "$png" ] || continue
    # Small files: no metadata, best compression, no more colours than a window needs.
    convert "$png" -strip -define png:compression-level=9 "$images/$(basename "$png")"
    size=$(stat -c %s "$images/$(basename "$png")")
    if [ "$size" -gt 153600 ]; then
        convert "$png" -strip -colors 256 -define png:compression-level=9 \
            "$images/$(basename "$png")"
    fi
    printf '%-24s %6d bytes\n' "$(basename "$png")" "$(stat -c %s "$images/$(basename "$png")")"
done
if [ "$status" -ne 0 ]; then
    echo "$status scene(s) failed (see above): their pictures were not taken." >&2
fi
exit "$status"

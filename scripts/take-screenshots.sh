#!/usr/bin/env bash
# Takes the pictures of the user manual: builds the screenshot driver (tools/manualshots),
# which starts the main window on the simulated meter under a virtual display and uses it as
# a user would, then trims the pictures for the manual:
#   docs/manual/images/*.png      the English interface
#   docs/manual/images/zh/*.png   the Chinese interface (when the build has zh-CN.qm)
#
# Usage: scripts/take-screenshots.sh [build folder]      (default: build)
# Needs: xvfb (xvfb-run), poppler-utils (pdftoppm), imagemagick (convert).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=${1:-build}
case $build in /*) ;; *) build=$src/$build ;; esac
images=$src/docs/manual/images

for tool in xvfb-run pdftoppm convert; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target manualshots
if [ -f translations/zh-CN.ts ]; then
    cmake --build "$build" -j"$(nproc)" --target meter_translations meter_qt_translations
fi
driver=$build/tools/manualshots/bin/manualshots

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# take <output folder> [--lang <code>]
# The simulated meter: a described adapter (no serial port needed) and a reading every
# 100 ms, so that a measurement fills its charts in seconds. A plain desktop: the toolkit's
# own file dialog. The driver runs in the runtime folder, where the translations are.
take() {
    local out=$1
    shift
    mkdir -p "$work/shots" "$out"
    rm -f "$work"/shots/*
    local status=0
    (cd "$build/bin" && env -u QT_QPA_PLATFORMTHEME -u XDG_CURRENT_DESKTOP \
        LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb \
        METER_SIM_PORT=virtual METER_SIM_INTERVAL_MS=100 \
        xvfb-run -a -s "-screen 0 1280x900x24" "$driver" "$@" "$work/shots") || status=$?
    failed=$((failed + status))

    # The PDF report: its summary page whole, and the top of the reading table after it.
    if [ -f "$work/shots/report.pdf" ]; then
        local page
        if pdftoppm -png -r 60 -f 1 -l 2 "$work/shots/report.pdf" "$work/shots/report-page"; then
            page=$(ls "$work"/shots/report-page*.png | head -n 1)
            convert "$page" -trim +repage -bordercolor white -border 14 \
                "$work/shots/report-summary.png"
            page=$(ls "$work"/shots/report-page*.png | sed -n 2p)
            convert "$page" -gravity North -crop 100%x25%+0+0 +repage -trim +repage \
                -bordercolor white -border 14 "$work/shots/report.png"
        else
            echo "FAILED report picture: the report is no readable PDF" >&2
            failed=$((failed + 1))
        fi
        rm -f "$work"/shots/report-page*.png "$work/shots/report.pdf"
    fi

    local png name
    for png in "$work"/shots/*.png; do
        [ -e "$png" ] || continue
        name=$(basename "$png")
        # Small files: no metadata, best compression, fewer colours if still large.
        convert "$png" -strip -define png:compression-level=9 "$out/$name"
        if [ "$(stat -c %s "$out/$name")" -gt 153600 ]; then
            convert "$png" -strip -colors 256 -define png:compression-level=9 "$out/$name"
        fi
        printf '%-28s %6d bytes\n' "${out#"$src"/}/$name" "$(stat -c %s "$out/$name")"
    done
}

take "$images"
if [ -f "$build/bin/zh-CN.qm" ]; then
    take "$images/zh" --lang zh-CN
    # The reading table's headings are English in every language: one picture serves both.
    rm -f "$images/zh/report.png"
fi

if [ "$failed" -ne 0 ]; then
    echo "$failed scene(s) failed (see above): their pictures were not taken." >&2
fi
exit "$failed"

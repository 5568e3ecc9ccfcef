#!/usr/bin/env bash
# Checks what a review would otherwise catch by eye: every tracked C++ source is formatted as
# .clang-format says, and the README's layout section names every top-level folder.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror; then
    echo "check-style: run clang-format -i on the files above" >&2
    status=1
fi

layout=$(sed -n '/^## Layout/,/^## /p' README.md)
for folder in $(git ls-files | grep / | cut -d/ -f1 | sort -u); do
    if ! grep -q "^${folder}/" <<<"$layout"; then
        echo "check-style: the README's layout section does not name ${folder}/" >&2
        status=1
    fi
done
exit $status

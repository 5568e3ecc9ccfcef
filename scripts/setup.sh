#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those that are missing.
# Usage: scripts/setup.sh build|test|fuzz
# Works as root or through sudo, and is safe to run any number of times.
set -euo pipefail

build_packages=(
    build-essential cmake pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5svg5-dev libqt5sql5-sqlite
    qttools5-dev qttools5-dev-tools qttranslations5-l10n
    libxlsxwriter-dev libminizip-dev zlib1g-dev
    fonts-noto-cjk
)
test_packages=(
    xvfb xauth poppler-utils python3 python3-xlrd
    appstream desktop-file-utils clang-format git
)

fuzz_packages=(clang-14 libclang-rt-14-dev)

packages=("${build_packages[@]}")
case "${1:-build}" in
test) packages+=("${test_packages[@]}") ;;
fuzz) packages+=("${fuzz_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

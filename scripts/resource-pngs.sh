#!/usr/bin/env bash
# Draws the package's pictures as PNG files a person can look at: the palette bitmap TQUELTBURNER
# enlarged 16 times and the main icon MAINICON enlarged 8 times, its transparent pixels left
# transparent. Builds only the resource generator and the converter, in a build folder of its own.
# Usage: scripts/resource-pngs.sh [OUTPUT_DIR]   (default: build/resource-pngs/png)
set -euo pipefail
out=$(realpath -m "${1:-$(dirname "$0")/../build/resource-pngs/png}")
cd "$(dirname "$0")/.."
scripts/deps.sh

build=build/resource-pngs
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUELT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quelt_package_resources quelt_image2png >/dev/null

# Where Resources.cmake puts the generated files and the build machine's tools.
resources=$(sed -n 's/^QUELT_PACKAGE_RESOURCE_DIR:INTERNAL=//p' "$build/CMakeCache.txt")
convert=$build/host-tools/quelt_image2png

mkdir -p "$out"
"$convert" "$resources/TQUELTBURNER.bmp" "$out/TQUELTBURNER.png" 16
"$convert" "$resources/MAINICON.ico" "$out/MAINICON.png" 8
echo "$out/TQUELTBURNER.png"
echo "$out/MAINICON.png"

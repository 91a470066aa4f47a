#!/usr/bin/env bash
# Builds and installs the library and its tools, then writes a real data disc of two entries with
# the installed command-line host: drive E is mapped through QUELT_DRIVES to an image file, and the
# installed recorder is found through the default registry file the install wrote. No disc
# hardware is needed. Then lists the image with outside readers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

cmake --preset demo >/dev/null
cmake --build --preset demo >/dev/null
cmake --install build/demo >/dev/null
prefix=$PWD/build/demo-install

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/project/photos"
echo "Meeting notes" >"$work/project/notes.txt"
echo "a photo" >"$work/project/photos/beach.jpg"

# Neither the user's own registry file nor one of the system's takes part: the component finds
# the recorder through the registry file this install wrote.
unset QUELT_REGISTRY
export XDG_CONFIG_HOME=$work/config
export XDG_CONFIG_DIRS=$work/no-system-config
export QUELT_DRIVES="E=$work/disc.iso"

echo "\$ queltburn data E notes.txt photos --label DEMO"
"$prefix/bin/queltburn" data E "$work/project/notes.txt" "$work/project/photos" --label DEMO
echo
echo "\$ isoinfo -d -i disc.iso | grep 'Volume id'"
isoinfo -d -i "$work/disc.iso" | grep 'Volume id'
echo "\$ isoinfo -f -R -i disc.iso"
isoinfo -f -R -i "$work/disc.iso"
echo "\$ 7z l disc.iso"
7z l "$work/disc.iso" | sed -n '/^   Date/,$p'

#!/usr/bin/env bash
# Builds the command-line host and the stand-in tool, then writes a data disc of two entries to a
# drive mapped through QUELT_DRIVES, with the tool found through a registry file that this script
# writes. No disc hardware is needed: the stand-in logs what it received.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

cmake --preset demo >/dev/null
cmake --build --preset demo --target queltburn quelt_standin >/dev/null

build=$PWD/build/demo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/project/photos"
echo "Meeting notes" >"$work/project/notes.txt"
echo "a photo" >"$work/project/photos/beach.jpg"

# The registry value names a file in the tool's folder; discovery swaps its name for NeroCmd.exe.
tool_dir=$build/tools/standin
escaped=$(printf '%s' "$tool_dir/nero.exe" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\r\n"RegisteredTypesNeroPath"="%s"\r\n' \
    "$escaped" >"$work/user.reg"

export QUELT_REGISTRY=$work/user.reg
export QUELT_DRIVES="E=$work/disc.iso"
export NEROCMD_LOG=$work/nerocmd.log

echo "\$ queltburn data E notes.txt photos --sync --label DEMO"
set +e
"$build/tools/queltburn/queltburn" data E "$work/project/notes.txt" "$work/project/photos" \
    --sync --label DEMO
status=$?
set -e
echo
echo "What the tool received (its log):"
cat "$NEROCMD_LOG"
exit $status

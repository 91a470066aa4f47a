#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: a fresh prefix in the build folder, drive E: a CD-ROM
# drive mapped onto a folder, and the tool's registry value pointing into the stand-in's folder.
# Usage: scripts/wine-tests.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "$1")
shift

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
unset DISPLAY                                # message boxes fail at once instead of waiting

rm -rf "$WINEPREFIX" "$build/cdrom"
wine wineboot --init >/dev/null 2>&1
wineserver -w

# Drive E: a folder that Wine reports as a CD-ROM drive.
mkdir -p "$build/cdrom"
ln -sfn "$build/cdrom" "$WINEPREFIX/dosdevices/e:"
wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d cdrom /f >/dev/null
wineserver -k
wineserver -w

# The vendor's value names a file in the stand-in's folder, as an installation would.
standin_dir=$(winepath -w "$build/tools/standin")
wine reg add 'HKCU\Software\ahead\Nero - Burning Rom\General' /v RegisteredTypesNeroPath \
    /d "$standin_dir\\nero.exe" /f >/dev/null
wineserver -w

ctest --test-dir "$build" --output-on-failure "$@"
status=$?
wineserver -k || true
exit $status

#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: a fresh prefix in the build folder, drive E: a CD-ROM
# drive mapped onto a folder, and the tool's registry value pointing into the stand-in's folder.
# Usage: scripts/wine-tests.sh BUILD_DIR [ctest arguments...]
# QUELT_WINE_DRIVE_SECONDS (default 60) limits the wait for drive E: to become a CD-ROM drive.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "$1")
shift
wait_cdrom=$build/tests/wine/quelt_wait_cdrom.exe
if [[ ! -f $wait_cdrom ]]; then
    echo "wine-tests: $wait_cdrom is missing; build the windows preset first" >&2
    exit 1
fi

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
unset DISPLAY                                # message boxes fail at once instead of waiting

rm -rf "$WINEPREFIX" "$build/cdrom"
wine wineboot --init >/dev/null 2>&1
wineserver -w

# Drive E: a folder that Wine reports as a CD-ROM drive, with a volume name (Wine reads a folder
# drive's name from this file once, when the session's mount manager starts).
mkdir -p "$build/cdrom"
echo "QUELT_TEST_DISC" >"$build/cdrom/.windows-label"
ln -sfn "$build/cdrom" "$WINEPREFIX/dosdevices/e:"
wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d cdrom /f >/dev/null
wineserver -k
wineserver -w

# Wine's mount manager takes up the drive mapping while the services of a new server session
# start, and the first programs of a session can run before it has: they find E: a plain drive
# and every drive check fails. So one persistent server carries the rest of this script, and the
# tests run only once a program in that same session has seen E: as a CD-ROM drive.
wineserver -p
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null || true' EXIT

# The vendor's value names a file in the stand-in's folder, as an installation would.
standin_dir=$(winepath -w "$build/tools/standin")
wine reg add 'HKCU\Software\ahead\Nero - Burning Rom\General' /v RegisteredTypesNeroPath \
    /d "$standin_dir\\nero.exe" /f >/dev/null

if ! wine "$wait_cdrom" E "${QUELT_WINE_DRIVE_SECONDS:-60}"; then
    echo "wine-tests: drive E: of $WINEPREFIX is not a CD-ROM drive; the tests were not run" >&2
    exit 1
fi

ctest --test-dir "$build" --output-on-failure "$@"

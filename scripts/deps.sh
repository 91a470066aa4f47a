#!/usr/bin/env bash
# Installs what the build needs, with apt-get, when it is missing. "test" adds what the tests and
# the lint step need. Runs as root (as on CI) or through sudo.
set -euo pipefail

want=(cmake ninja-build g++ make)
# The recorder is built on libisoburn, libisofs and libburn (found through pkg-config); the demo
# lists what it wrote with isoinfo (genisoimage) and 7z.
want+=(libisoburn-dev libisofs-dev libburn-dev pkgconf genisoimage p7zip-full)
# The recorder allocates with mimalloc (src/Recorder/CMakeLists.txt says why).
want+=(libmimalloc-dev)
# Audio CDs: decoded with libsndfile (WAV, FLAC, Ogg Vorbis, MP3), converted with libsamplerate.
want+=(libsndfile1-dev libsamplerate0-dev)
# Programs the recorder runs: vcdimager authors Video CDs and Super Video CDs, genisoimage
# DVD-Video with UDF, cdrdao writes CUE sheets of Mode 2 tracks to real drives.
want+=(vcdimager genisoimage cdrdao)
if [[ "${1:-}" == "test" ]]; then
    want+=(libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev clang-format clang-tidy
           g++-mingw-w64-x86-64-posix wine wine64)
    # Qt 6 Core: the benchmarks run Qt's QProcess as a peer of the waiting run.
    want+=(qt6-base-dev)
    # The consumer test builds through pkg-config. The Debian package test runs CPack, whose
    # dependency scan needs dpkg-shlibdeps (dpkg-dev) and file, and reads the packed files with
    # readelf (binutils).
    want+=(pkgconf dpkg-dev file binutils)
    # The recorder's tests read its discs back with xorriso, 7z and isoinfo (genisoimage).
    want+=(xorriso p7zip-full genisoimage)
    # The audio CD tests cut the written image into tracks with bchunk.
    want+=(bchunk)
    # The video tests make a VIDEO_TS with dvdauthor and rip Video CDs back with vcdxrip and
    # vcd-info (vcdimager). Their streams are committed (ffmpeg made them, see
    # tests/integration/media/README.md), so ffmpeg is not needed to run them.
    want+=(dvdauthor vcdimager)
    # The Qt example front end (examples/qt-burner) and its window test, which runs under Xvfb.
    want+=(qt6-base-dev xvfb xauth)
fi

missing=()
for package in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

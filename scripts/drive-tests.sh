#!/usr/bin/env bash
# Runs the recorder's real-drive paths against emulated drives: a small Linux guest (Debian's
# kernel, busybox, the recorder built in BUILD_DIR and the libraries it loads) boots once per
# group of cases, runs the cases of scripts/drive-tests/guest.sh inside and reports them on its
# serial console. The groups two_drives and eject get QEMU's SCSI CD-ROM drives (an empty drive
# and a pressed data disc; they take no write commands), whose trays are read afterwards from
# QEMU's monitor (QMP query-block); the group writer gets tgt's DVD writer over iSCSI
# (scripts/drive-tests/writer.sh), on which real discs are written and read back on the host.
# Emulation only (TCG): KVM is not needed.
# Usage: scripts/drive-tests.sh BUILD_DIR
# Writes BUILD_DIR/drive-tests/results.txt (one "ok NAME" or "FAILED NAME: why" a case) and exits
# non-zero when a case failed. QUELT_RECORDER overrides the recorder tried (default: the release
# recorder, BUILD_DIR/tools/recorder/NeroCmd.exe); QUELT_DRIVE_GROUPS picks groups (two_drives,
# eject, writer).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:?usage: scripts/drive-tests.sh BUILD_DIR}")
recorder=${QUELT_RECORDER:-$build/tools/recorder/NeroCmd.exe}
host=$build/tools/queltburn/queltburn
for program in "$recorder" "$host"; do
    if [[ ! -x $program ]]; then
        echo "drive-tests: $program is missing; build the quelt_recorder and queltburn targets" >&2
        exit 1
    fi
done

want=(qemu-system-x86 linux-image-amd64 busybox-static cpio genisoimage dvdauthor vcdimager cdrdao)
# The emulated writer: tgt serves it over iSCSI, QEMU's iSCSI driver (qemu-block-extra) attaches
# it; xorriso (in the guest and on the host), isoinfo and 7z read what was written.
want+=(tgt qemu-block-extra xorriso p7zip-full)
missing=()
for package in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

kernel=$(find /boot -maxdepth 1 -name 'vmlinuz-*-amd64' | sort -V | tail -n 1)
modules=/lib/modules/${kernel#/boot/vmlinuz-}
if [[ -z $kernel || ! -r $kernel ]]; then
    echo "drive-tests: no readable kernel in /boot (linux-image-amd64)" >&2
    exit 1
fi

work=$build/drive-tests
rm -rf "$work"
mkdir -p "$work/root"/{bin,modules,recorder,host,media,proc,sys,dev,tmp}
root=$work/root

# The guest: busybox, the modules the drive needs, the recorder, the command-line host (the
# component on the POSIX host) and the programs the recorder runs, each
# with the libraries ldd names (and the loader).
cp /bin/busybox "$root/bin/busybox"
cp scripts/drive-tests/guest.sh "$root/init"
cp scripts/drive-tests/writer-cases.sh "$root/writer-cases.sh"
for module in scsi_common scsi_mod cdrom sr_mod sg virtio_ring virtio virtio_pci_legacy_dev \
    virtio_pci_modern_dev virtio_pci virtio_scsi isofs; do
    found=$(find "$modules" -name "$module.ko" | head -n 1)
    [[ -n $found ]] || { echo "drive-tests: module $module not in $modules" >&2; exit 1; }
    cp "$found" "$root/modules/"
done
cp "$recorder" "$root/recorder/NeroCmd.exe"
cp "$host" "$root/host/queltburn"
programs=("$recorder" "$host")
for program in vcdimager genisoimage cdrdao xorriso script; do
    path=$(command -v "$program")
    mkdir -p "$root$(dirname "$path")"
    cp "$path" "$root$path"
    programs+=("$path")
done
for library in $(ldd "${programs[@]}" | grep -o '/[^ ]*\.so[^ ]*' | sort -u); do
    mkdir -p "$root$(dirname "$library")"
    cp -L "$library" "$root$library"
done

# The media: a pressed data disc, the sources of each kind of burn.
mkdir -p "$work/pressed"
echo "notes on a pressed disc" >"$work/pressed/notes.txt"
genisoimage -quiet -V PRESSED -R -J -o "$root/media/pressed.iso" "$work/pressed"
cp "$root/media/pressed.iso" "$root/media/disc.iso"
cp "$work/pressed/notes.txt" "$root/media/notes.txt"
printf 'FILE "disc.iso" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n' >"$root/media/disc.cue"
cp tests/integration/media/vcd.mpg "$root/media/vcd.mpg"
# One second of silence, 44.1 kHz 16-bit stereo.
{
    printf 'RIFF\x24\xb1\x02\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00'
    printf '\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x00\xb1\x02\x00'
    head -c 176400 /dev/zero
} >"$root/media/tone.wav"
VIDEO_FORMAT=PAL dvdauthor -o "$root/media/dvd" -t "$PWD/tests/integration/media/dvd.mpg" \
    >/dev/null 2>&1
VIDEO_FORMAT=PAL dvdauthor -o "$root/media/dvd" -T >/dev/null 2>&1
# Joliet names are converted to UTF-16 through glibc's gconv modules.
gconv=$(dirname "$(find /usr/lib -path '*/gconv/UTF-16.so' | head -n 1)")
mkdir -p "$root$gconv"
cp -r "$gconv"/gconv-modules* "$gconv"/UTF-16.so "$gconv"/UTF-32.so "$gconv"/UNICODE.so \
    "$root$gconv/"
mkdir -p "$root/media/tree/inner"
echo "a file in a folder" >"$root/media/tree/inner/deep.txt"
echo "Ünïcödé name" >"$root/media/tree/Grüße – 日本.txt"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initrd.cpio"

# boot GROUP DRIVES...: boots the guest with one SCSI CD-ROM drive per DRIVES entry (an ISO file,
# or "empty"), collects its RESULT lines, then reads the trays: "tray DRIVE open|closed" lines.
boot() {
    local group=$1
    local log=$work/$group.log index=0 drive_options=()
    shift
    for disc in "$@"; do
        local file=""
        if [[ $disc == iscsi:* ]]; then
            # The emulated writer: the iSCSI LUN PORTAL/IQN/LUN handed through as it is.
            local portal iqn lun
            IFS=/ read -r portal iqn lun <<<"${disc#iscsi:}"
            drive_options+=(-drive "driver=iscsi,transport=tcp,portal=$portal,target=$iqn,lun=$lun,if=none,id=cd$index"
                -device "scsi-generic,drive=cd$index,bus=scsi.0")
            index=$((index + 1))
            continue
        fi
        [[ $disc != empty ]] && file=",file=$disc,readonly=on"
        drive_options+=(-drive "if=none,id=cd$index,media=cdrom$file"
            -device "scsi-cd,drive=cd$index,bus=scsi.0,scsi-id=$index,lun=0")
        index=$((index + 1))
    done
    rm -f "$work/qmp.in" "$work/qmp.out"
    mkfifo "$work/qmp.in" "$work/qmp.out"
    # The writer's guest asks for its discs on a second serial port (serve_writer answers).
    local control=()
    [[ $group == writer ]] && control=(-serial "pipe:$work/ctl")
    # The guest waits at the end until QEMU is quit, once the trays have been read.
    timeout -s KILL 300 qemu-system-x86_64 -accel tcg -m 512 -smp 1 -display none -no-reboot \
        -monitor none -serial "file:$log" "${control[@]}" -kernel "$kernel" -initrd "$work/initrd.cpio" \
        -append "console=ttyS0 quiet panic=-1 rdinit=/init quelt_group=$group" \
        -chardev "pipe,id=qmp,path=$work/qmp" -mon chardev=qmp,mode=control \
        -device virtio-scsi-pci,id=scsi "${drive_options[@]}" >"$work/$group.qemu" 2>&1 &
    local qemu=$!
    local waited=0
    until grep -q GROUP-DONE "$log" 2>/dev/null; do
        if ! kill -0 "$qemu" 2>/dev/null || ((waited >= 2800)); then
            echo "FAILED $group: the guest did not finish (see $log)"
            kill -KILL "$qemu" 2>/dev/null || true
            wait "$qemu" || true
            return
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    {
        echo '{"execute":"qmp_capabilities"}'
        echo '{"execute":"query-block"}'
        sleep 1
        echo '{"execute":"quit"}'
    } >"$work/qmp.in" &
    timeout 20 cat "$work/qmp.out" >"$work/$group.qmp" || true
    wait "$qemu" || true
    sed -n 's/\r//; s/^RESULT //p' "$log"
    # query-block: one object a drive, "device": "cdN" before its "tray_open".
    grep -o '"device": "cd[0-9]*"\|"tray_open": [a-z]*' "$work/$group.qmp" |
        sed -n 'N; s/"device": "\(cd[0-9]*\)"\n"tray_open": true/tray \1 open/p;
                   s/"device": "\(cd[0-9]*\)"\n"tray_open": false/tray \1 closed/p'
}

# expect_tray LINES NAME DRIVE STATE: a result for a tray QEMU reported.
expect_tray() {
    if grep -qx "tray $3 $4" <<<"$1"; then
        echo "ok $2"
    else
        echo "FAILED $2: QEMU did not report the tray of $3 $4 ($(grep '^tray' <<<"$1" | tr '\n' ' '))"
    fi
}

# Each group boots the guest once: D is an empty drive, E holds the pressed disc.
two_drives() {
    local got
    got=$(boot two-drives empty "$root/media/pressed.iso")
    grep -v '^tray' <<<"$got" || true
    expect_tray "$got" "failed burns with --disable_eject leave the tray of D closed" cd0 closed
    expect_tray "$got" "failed burns with --disable_eject leave the tray of E closed" cd1 closed
}
eject() {
    local got
    got=$(boot eject empty "$root/media/pressed.iso")
    grep -v '^tray' <<<"$got" || true
    expect_tray "$got" "eject opens the tray of E (pressed disc)" cd1 open
    expect_tray "$got" "eject opens the tray of D (empty drive)" cd0 open
}

source scripts/drive-tests/writer.sh
trap writer_stop EXIT

results=$work/results.txt
: >"$results"
started=$SECONDS
for group in ${QUELT_DRIVE_GROUPS:-two_drives eject writer}; do
    "$group" >>"$results"
done

sed 's/^/  /' "$results"
passed=$(grep -c '^ok ' "$results" || true)
total=$(wc -l <"$results")
echo "drive-tests: $passed of $total cases passed in $((SECONDS - started)) s"
[[ $passed -eq $total && $total -gt 0 ]]

#!/bin/busybox sh
# The guest's /init (busybox ash): loads the SCSI CD-ROM modules, then runs one group of cases
# against the emulated drives and reports each on the serial console as
#   RESULT ok NAME   or   RESULT FAILED NAME: why
# and "GROUP-DONE" at the end. The group comes from the kernel command line (quelt_group=...).
# Drives are never mapped with QUELT_DRIVES: /dev/sr0 is D and /dev/sr1 is E, as on a user's
# machine. The host checks the trays afterwards through QEMU's monitor.
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in scsi_common scsi_mod cdrom sr_mod sg virtio_ring virtio virtio_pci_legacy_dev \
    virtio_pci_modern_dev virtio_pci virtio_scsi isofs; do
    insmod "/modules/$module.ko" 2>/dev/null
done

recorder=/recorder/NeroCmd.exe
export TMPDIR=/tmp/scratch
export HOME=/tmp
mkdir -p "$TMPDIR" /mnt/held /etc
echo "root:x:0:0::/tmp:/bin/sh" >/etc/passwd
chmod 1777 "$TMPDIR"
group=$(sed -n 's/.*quelt_group=\([a-z-]*\).*/\1/p' /proc/cmdline)

# The block devices appear shortly after the driver is loaded.
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -b /dev/sr0 ] && { [ -b /dev/sr1 ] || [ "$group" = writer ]; } && break
    sleep 0.5
done

# The kernel closes an open tray whenever a device is opened; the trays are read afterwards.
echo 0 >/proc/sys/dev/cdrom/autoclose

report() { echo "RESULT $*" >/dev/console; }

now() { cut -d' ' -f1 /proc/uptime | tr -d .; } # hundredths of a second

# The checksum of the disc in /dev/sr1 (empty when there is none): what a case must leave as it was.
# Not read once the tray is open ($disc_open).
disc_sum() { [ -z "$disc_open" ] && md5sum /dev/sr1 2>/dev/null | cut -d' ' -f1; }

# expect NAME CODE PATTERN ARGUMENTS...: runs the recorder with ARGUMENTS and checks its exit
# code, that the first line of its standard error matches PATTERN (an extended regular
# expression; empty: not checked), that it ended at once (within 20 s of this emulated machine:
# no wait for a disc), that no scratch file is left and that the pressed disc is unchanged.
# $run_as: the user to run it as (root when empty; arguments without blanks then).
expect() {
    name=$1 code=$2 pattern=$3
    shift 3
    before=$(disc_sum)
    start=$(now)
    if [ -n "$run_as" ]; then
        timeout -s KILL 60 su -s /bin/sh "$run_as" -c "$recorder $*" >/tmp/out 2>/tmp/err
    else
        timeout -s KILL 60 "$recorder" "$@" >/tmp/out 2>/tmp/err
    fi
    got=$?
    took=$(($(now) - start))
    first=$(head -n 1 /tmp/err | sed 's/^recorder: //')
    left=$(ls -A "$TMPDIR")
    if [ "$got" != "$code" ]; then
        report "FAILED $name: exit $got, expected $code: $first"
    elif [ -n "$pattern" ] && ! echo "$first" | grep -Eq "$pattern"; then
        report "FAILED $name: first line \"$first\" does not match \"$pattern\""
    elif [ "$took" -gt 2000 ]; then
        report "FAILED $name: took $((took / 100)) s"
    elif [ -n "$left" ]; then
        report "FAILED $name: left $left in the scratch folder"
        rm -rf "${TMPDIR:?}"/*
    elif [ "$(disc_sum)" != "$before" ]; then
        report "FAILED $name: the disc in /dev/sr1 changed"
    else
        report "ok $name"
    fi
}

# expect_info NAME LETTER LINES...: the disc-information query names each of LINES.
expect_info() {
    name=$1 letter=$2
    shift 2
    "$recorder" --disc_info --drivename "$letter" >/tmp/out 2>/tmp/err
    got=$?
    for line in "$@"; do
        if ! grep -qx "$line" /tmp/out; then
            report "FAILED $name: exit $got, no line \"$line\" in: $(tr '\n' ' ' </tmp/out) $(head -n 1 /tmp/err)"
            return
        fi
    done
    report "ok $name"
}

# expect_host NAME CODE PATTERN ARGUMENTS...: the command-line host (the component through the
# POSIX host) exits with CODE and its output matches PATTERN.
expect_host() {
    name=$1 code=$2 pattern=$3
    shift 3
    /host/queltburn "$@" --tool "$recorder" >/tmp/out 2>&1
    got=$?
    if [ "$got" != "$code" ] || ! grep -Eq "$pattern" /tmp/out; then
        report "FAILED $name: exit $got (expected $code): $(tr '\n' ' ' </tmp/out)"
    else
        report "ok $name"
    fi
}

# The command lines the component composes for each kind of disc, onto drive $1; a data burn
# takes the switches that follow the letter before its entry (--force_erase_disk comes after it).
data_burn() {
    letter=$1
    shift
    echo --write --drivename "$letter" --real --recursive --speed 4 --iso NEW "$@" /media/notes.txt
}
audio_burn() { echo --write --drivename "$1" --real --recursive --speed 4 --audio /media/tone.wav; }
image_burn() { echo --write --drivename "$1" --real --image /media/disc.iso --speed 4; }
video_cd() { echo --write --drivename "$1" --real --videocd --recursive --speed 4 /media/vcd.mpg; }
dvd_video() {
    echo --write --drivename "$1" --real --recursive --speed 4 --iso MOVIE --dvd --create_iso_fs \
        --create_udf_fs --iso-no-joliet --dvdvideo_realloc /media/dvd/VIDEO_TS
}

not_writable='^the disc in drive E( \(/dev/sr1\))? is not writable'
no_disc='^no disc in drive D( \(/dev/sr0\))?'

case $group in
two-drives)
    # D: an empty drive; E: a pressed data disc.
    for kind in data_burn audio_burn image_burn video_cd dvd_video; do
        # shellcheck disable=SC2046 # the command line is a list of words
        expect "pressed disc: $kind" 4 "$not_writable" $($kind E)
    done
    # shellcheck disable=SC2046
    expect "pressed disc: data burn with --detect_non_empty_disk" 4 "$not_writable" \
        $(data_burn E --detect_non_empty_disk)
    # shellcheck disable=SC2046
    expect "pressed disc: data burn continuing it (--import 0)" 4 "$not_writable" \
        $(data_burn E --import 0)
    # shellcheck disable=SC2046
    expect "pressed disc: data burn with --force_erase_disk" 4 "$not_writable" \
        $(data_burn E) --force_erase_disk
    expect "pressed disc: erase" 4 "$not_writable" --erase --drivename E
    # shellcheck disable=SC2046
    expect "pressed disc: failed burn with --disable_eject" 4 "$not_writable" \
        $(data_burn E --disable_eject)

    for kind in data_burn audio_burn image_burn video_cd dvd_video; do
        # shellcheck disable=SC2046
        expect "empty drive: $kind" 4 "$no_disc" $($kind D)
    done
    expect "empty drive: erase" 4 "$no_disc" --erase --drivename D
    # shellcheck disable=SC2046
    expect "empty drive: failed burn with --disable_eject" 4 "$no_disc" \
        $(data_burn D --disable_eject)

    expect_info "drive map: /dev/sr1 is E, its pressed disc closed with label and size" E \
        medium=CD-ROM state=closed sessions=1 label=PRESSED "used_bytes=$(stat -c %s /media/pressed.iso)"
    expect_info "drive map: /dev/sr0 is D, an empty drive" D "state=no disc"
    expect "drive map: F is no drive" 3 '^drive F: no such drive' --eject --drivename F
    expect_host "component: D is an optical drive" 0 'command: .*--eject --drivename "?D' \
        eject D --print-command
    expect_host "component: E is an optical drive" 0 'command: .*--eject --drivename "?E' \
        eject E --print-command
    expect_host "component: F is refused" 1 'drive F is not an optical drive' \
        eject F --print-command
    expect_host "component: drives name the maker and model the kernel knows" 0 \
        '^D  /dev/sr0  QEMU QEMU (DVD|CD)-ROM' drives
    expect_host "component: drives --json holds them" 0 \
        '"drive":"E","target":"/dev/sr1","vendor":"QEMU","model":"QEMU (DVD|CD)-ROM","media":"[^"]*","busy":false' \
        drives --json

    chmod 600 /dev/sr0
    echo "user:x:1000:1000::/tmp:/bin/sh" >>/etc/passwd
    run_as=user
    # shellcheck disable=SC2046
    expect "no permission on /dev/sr0" 3 '/dev/sr0.*permission' $(data_burn D)
    run_as=""

    # Another program holds E (the disc is mounted): refused at once, nothing changed.
    if mount -t iso9660 -o ro /dev/sr1 /mnt/held; then
        # shellcheck disable=SC2046
        expect "drive held by another program: data burn" 3 '^drive E( \(/dev/sr1\))? is busy' \
            $(data_burn E)
        expect "drive held by another program: eject" 3 '^drive E( \(/dev/sr1\))? is busy' \
            --eject --drivename E
        umount /mnt/held
    else
        report "FAILED drive held by another program: could not mount /dev/sr1"
    fi
    ;;
eject)
    expect "eject of the empty drive D" 0 "" --eject --drivename D
    disc_open=yes
    expect "eject of the pressed disc in E" 0 "" --eject --drivename E
    ;;
writer)
    # shellcheck source=writer-cases.sh
    . /writer-cases.sh
    ;;
*)
    report "FAILED group: unknown group \"$group\""
    ;;
esac
echo GROUP-DONE >/dev/console
# No power-off: resetting the SCSI bus on the way down would close the trays before the host has
# read them. The host quits QEMU.
while :; do sleep 60; done

# The writer group, sourced by the guest's /init (guest.sh): /dev/sr0 (D) is tgt's emulated DVD
# writer. The guest asks the host for each disc on its second serial port; the host reads the
# written discs back afterwards. tgt writes only DVD+R, one session, track at once: every burn here
# passes --tao. Uses report, expect and the command-line helpers of guest.sh.

exec 3<>/dev/ttyS1
stty -F /dev/ttyS1 raw -echo
ask() {
    echo "$*" >&3
    read -r answer <&3
    echo "$answer"
}
current=""
# The checksum of the disc in the writer, read by the host from the LUN's file: what a refusal
# must leave as it was.
disc_sum() { ask sum "$current"; }

state_of() { "$recorder" --disc_info --drivename D 2>/dev/null | sed -n 's/^state=//p'; }

# insert KIND NAME STATE: asks the host for the disc and waits until the drive reports STATE.
insert() {
    current=$2
    if [ "$(ask disc "$1" "$2")" != ready ]; then
        report "FAILED insert $1 $2: the host could not change the disc"
        return 1
    fi
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        [ "$(state_of)" = "$3" ] && return 0
        sleep 0.5
    done
    report "FAILED insert $1 $2: the drive reports \"$(state_of)\", expected \"$3\""
    return 1
}

# burn NAME CODE ARGUMENTS...: runs the recorder with ARGUMENTS and standard input closed (as a
# host may start it); its output is kept in /tmp/NAME.out and .err. True when it exited with CODE
# (reported as a failure otherwise).
burn() {
    name=$1 code=$2
    shift 2
    timeout -s KILL 240 "$recorder" "$@" >"/tmp/$name.out" 2>"/tmp/$name.err" <&-
    got=$?
    if [ "$got" != "$code" ]; then
        report "FAILED $name: exit $got, expected $code: $(head -n 5 "/tmp/$name.err" | tr '\n' ' ')"
        return 1
    fi
    return 0
}

# Each phase's progress lines rise and its last says 100.0; the phases PHASES... all appear.
progress_rises() {
    awk -v want="$2" '
        $1 == "progress" { if ($2 in last && $3 + 0 < last[$2]) bad = bad " " $2 " fell"; last[$2] = $3 + 0 }
        END { n = split(want, phases, " ")
              for (i = 1; i <= n; i++) if (!(phases[i] in last)) bad = bad " no " phases[i]
              for (phase in last) if (last[phase] != 100) bad = bad " " phase " ended at " last[phase]
              if (bad != "") { print bad; exit 1 } }' "$1"
}

# The component's command lines with Tao and DisableEject: a data burn of notes.txt and a folder
# (its switches SWITCHES... where the component puts --import, before the eject; $verify after
# it), an image burn, DVD-Video.
data_tao() {
    letter=$1
    shift
    echo --write --drivename "$letter" --real --tao --recursive --speed 4 --iso WRITER "$@" \
        --disable_eject $verify /media/notes.txt /media/tree
}
image_tao() {
    echo --write --drivename "$1" --real --tao --image "${2:-/media/disc.iso}" --speed 4 \
        --disable_eject
}
dvd_video_tao() {
    echo --write --drivename "$1" --real --tao --recursive --speed 4 --iso MOVIE --disable_eject \
        $verify --dvd --create_iso_fs --create_udf_fs --iso-no-joliet --dvdvideo_realloc /media/dvd/VIDEO_TS
}

# A blank disc: what the drive says of it, and what a burn would take.
insert blank data blank &&
    expect_info "blank writer: a blank DVD+R" D medium=DVD+R state=blank sessions=0
drive_blocks=$(xorriso -outdev /dev/sr0 -tell_media_space 2>/dev/null | sed -n 's/^Media space *: *\([0-9]*\)s$/\1/p')
expect_info "blank writer: free bytes as the drive reports them" D \
    "free_bytes=$((drive_blocks * 2048))"
# shellcheck disable=SC2046 # the command line is a list of words
"$recorder" --estimate $(data_tao D) >/tmp/estimate.out 2>&1
if grep -qx "free_bytes=$((drive_blocks * 2048))" /tmp/estimate.out &&
    grep -q '^needed_bytes=[1-9]' /tmp/estimate.out; then
    report "ok blank writer: the estimate's free bytes as the drive reports them"
else
    report "FAILED blank writer: estimate $(tr '\n' ' ' </tmp/estimate.out), drive $drive_blocks blocks"
fi

expect "blank DVD+R: erase refused (write-once)" 4 \
    '^the disc in drive D( \(/dev/sr0\))? is a DVD\+R, which cannot be erased' --erase --drivename D

# The data disc, with its progress; then what it is, and everything refused on it.
# shellcheck disable=SC2046
if burn "data disc with --tao" 0 $(data_tao D); then
    if why=$(progress_rises "/tmp/data disc with --tao.out" "preparing writing closing"); then
        report "ok data disc with --tao: written, progress rising to 100 in each phase"
    else
        report "FAILED data disc with --tao: progress:$why"
    fi
fi
expect_info "written disc: closed, one session, its label" D state=closed sessions=1 label=WRITER
closed='^the disc in drive D( \(/dev/sr0\))? is not writable'
# shellcheck disable=SC2046
expect "written disc: the estimate of a second session refused" 4 "$closed" \
    --estimate $(data_tao D --import 0)
# shellcheck disable=SC2046
expect "written disc: a second session refused" 4 "$closed" $(data_tao D --import 0)
# shellcheck disable=SC2046
expect "written disc: --force_erase_disk refused" 4 "$closed" $(data_tao D) --force_erase_disk
expect "written disc: erase refused" 4 "$closed" --erase --drivename D

insert blank verify blank &&
    # shellcheck disable=SC2046
    burn "data disc with --tao --verify" 0 $(verify=--verify data_tao D) &&
    report "ok data disc with --tao --verify: written and verified"

insert blank image blank &&
    # shellcheck disable=SC2046
    burn "image burn (ISO) with --tao" 0 $(image_tao D) &&
    report "ok image burn (ISO) with --tao"

insert blank dvdvideo blank &&
    # shellcheck disable=SC2046
    burn "DVD-Video with --tao" 0 $(dvd_video_tao D) &&
    report "ok DVD-Video with --tao"

insert blank dvdverify blank &&
    # shellcheck disable=SC2046
    burn "DVD-Video with --tao --verify" 0 $(verify=--verify dvd_video_tao D) &&
    if why=$(progress_rises "/tmp/DVD-Video with --tao --verify.out" "preparing writing verifying"); then
        report "ok DVD-Video with --tao --verify: written and read back"
    else
        report "FAILED DVD-Video with --tao --verify: progress:$why"
    fi

# Without --tao the recorder asks for the session at once, which this writer refuses before
# writing anything: it writes track at once instead and says so.
insert blank notao blank &&
    # shellcheck disable=SC2046
    burn "data disc without --tao" 0 $(data_tao D | sed 's/ --tao / /') &&
    if grep -q 'refused to write the session at once; writing it track at once' \
        "/tmp/data disc without --tao.out"; then
        report "ok data disc without --tao: refused at once, written track at once, said"
    else
        report "FAILED data disc without --tao: no line says it was written track at once"
    fi

for kind in image_tao dvd_video_tao; do
    insert blank "notao-$kind" blank &&
        # shellcheck disable=SC2046
        burn "$kind without --tao" 0 $($kind D | sed 's/ --tao / /') &&
        if grep -q 'refused to write the session at once; writing it track at once' \
            "/tmp/$kind without --tao.out"; then
            report "ok $kind without --tao: refused at once, written track at once, said"
        else
            report "FAILED $kind without --tao: no line says it was written track at once"
        fi
done

# Raw CD sectors (a CUE image, audio, Video CD) on a DVD+R: refused with nothing written.
insert blank cue blank
cd_only='^the disc in drive D( \(/dev/sr0\))? is a DVD\+R: this burn writes a CD'
# shellcheck disable=SC2046
expect "DVD+R: a CUE image refused (a CD's sectors)" 4 "$cd_only" $(image_tao D /media/disc.cue)
# shellcheck disable=SC2046
expect "DVD+R: an audio CD refused" 4 "$cd_only" $(audio_burn D)
# shellcheck disable=SC2046
expect "DVD+R: a Video CD refused" 4 "$cd_only" $(video_cd D)

# A cancel during a real write: SIGTERM once the writing has begun.
head -c 40000000 /dev/zero >/media/big.bin
insert blank cancel blank
start=$(now)
"$recorder" --write --drivename D --real --tao --recursive --speed 4 --iso CANCEL --disable_eject \
    /media/big.bin >/tmp/cancel.out 2>/tmp/cancel.err &
writing=$!
for _ in $(seq 1 600); do
    grep -q '^progress writing [1-9]' /tmp/cancel.out && break
    sleep 0.1
done
# The same drive through its SCSI generic device is the same drive, held by the write.
QUELT_DRIVES="F=/dev/sg0" "$recorder" --disc_info --drivename F >/tmp/held.out 2>/tmp/held.err
held=$?
kill -TERM "$writing"
stopped=$(now)
wait "$writing"
got=$?
took=$(($(now) - stopped))
after=$(state_of)
if [ "$got" != 7 ] || ! grep -q 'stopped by a signal' /tmp/cancel.err; then
    report "FAILED cancel during a real write: exit $got: $(head -n 1 /tmp/cancel.err)"
elif [ "$took" -gt 1000 ]; then
    report "FAILED cancel during a real write: took $((took / 100)) s to end"
elif [ -z "$after" ]; then
    report "FAILED cancel during a real write: the drive was not released"
else
    report "ok cancel during a real write: exit 7 after $((took / 100)).$((took % 100)) s, drive released, the disc then $after"
fi
if [ "$held" = 3 ] && grep -q 'in use by another run (process [0-9]' /tmp/held.err; then
    report "ok the writer as /dev/sg0 during the write: in use by another run"
else
    report "FAILED the writer as /dev/sg0 during the write: exit $held: $(cat /tmp/held.out /tmp/held.err | head -n 2)"
fi
rm -f /media/big.bin

insert pressed pressed closed
for kind in data_tao image_tao dvd_video_tao; do
    # shellcheck disable=SC2046
    expect "pressed DVD-ROM: $kind refused" 4 "$closed" $($kind D)
done
expect "pressed DVD-ROM: erase refused" 4 "$closed" --erase --drivename D

insert empty empty "no disc"
# shellcheck disable=SC2046
expect "empty writer: data burn refused" 4 '^no disc in drive D( \(/dev/sr0\))?' $(data_tao D)

# Joliet names need glibc's converters: without them the run says so.
insert blank joliet blank
gconv=$(dirname "$(find /usr/lib -name UTF-16.so | head -n 1)")
mv "$gconv" "$gconv.off"
# shellcheck disable=SC2046
expect "Joliet names without character-set converters" 7 'Joliet' $(data_tao D)
mv "$gconv.off" "$gconv"

# The component through the POSIX host: queltburn on a terminal (a pseudo-terminal by script)
# draws its progress bar; with --progress it prints lines, and without DisableEject the burn
# ejects the disc, which takes the writer's unit offline.
mkdir -p /dev/pts
mount -t devpts devpts /dev/pts
insert blank component blank
queltburn_data="/host/queltburn data D /media/notes.txt --label FRONTEND --tao --tool $recorder"
timeout -s KILL 120 script -qec "$queltburn_data --disable-eject" /dev/null >/tmp/bar.out 2>&1
got=$?
if [ "$got" = 0 ] && grep -q 'writing   \[#*\] 100.0%' /tmp/bar.out &&
    grep -q 'result: 0 (success)' /tmp/bar.out; then
    report "ok component: BurnData on D with the recorder, its progress bar drawn to 100%"
else
    report "FAILED component: BurnData with a progress bar: exit $got: $(tr '\r\n' '  ' </tmp/bar.out | tail -c 300)"
fi
insert blank ejected blank &&
    expect_host "component: BurnData with --progress lines" 0 'progress: writing' \
        data D /media/notes.txt --label FRONTEND --tao --progress
if [ "$(ask online)" = No ]; then
    report "ok component: the burn ejected the disc (the writer went offline)"
else
    report "FAILED component: the writer is still online after a burn without DisableEject"
fi

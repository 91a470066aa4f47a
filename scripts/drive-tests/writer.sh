# The emulated DVD writer, sourced by scripts/drive-tests.sh: tgt (the Linux SCSI target
# framework) serves one MMC LUN over iSCSI on loopback, QEMU hands it to the guest as a
# pass-through SCSI device (/dev/sr0, drive D), and the guest asks for each disc it needs on its
# second serial port. A LUN over an empty file is a blank DVD+R, over a file holding data a
# pressed DVD-ROM; the file is the disc byte for byte, so every disc is read back on the host.
# tgtd runs on a control port and an iSCSI port of its own and is stopped by them and its pid.

writer_control=7307                 # tgtadm's control port: no other tgtd is touched
writer_portal=127.0.0.1:3267        # loopback only
writer_iqn=iqn.2024-01.test.quelt:dvd-writer
writer_pid=""

tgt() { tgtadm -C "$writer_control" --lld iscsi "$@"; }

writer_start() {
    local discs=$1
    tgtd -f -C "$writer_control" --iscsi "portal=$writer_portal" >"$work/tgtd.log" 2>&1 &
    writer_pid=$!
    local waited=0
    until tgt --op show --mode target >/dev/null 2>&1; do
        if ! kill -0 "$writer_pid" 2>/dev/null || ((waited >= 100)); then
            echo "tgtd did not start (see $work/tgtd.log)"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    : >"$discs/first.img"
    tgt --op new --mode target --tid 1 -T "$writer_iqn" &&
        tgt --op new --mode logicalunit --tid 1 --lun 1 --device-type cd -b "$discs/first.img" &&
        tgt --op bind --mode target --tid 1 -I ALL
}

writer_stop() {
    [[ -n $writer_pid ]] || return 0
    tgt --op delete --mode target --tid 1 --force >/dev/null 2>&1 || true
    tgtadm -C "$writer_control" --op delete --mode system >/dev/null 2>&1 || true
    local waited=0
    while kill -0 "$writer_pid" 2>/dev/null && ((waited < 50)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -KILL "$writer_pid" 2>/dev/null || true
    wait "$writer_pid" 2>/dev/null || true
    writer_pid=""
}

writer_online() { tgt --op update --mode logicalunit --tid 1 --lun 1 --params "online=$1"; }

# The LUN's state as tgt shows it: "Online: Yes" or "Online: No".
writer_online_state() {
    tgt --op show --mode target | sed -n '/LUN: 1/,$ s/^ *Online: //p' | head -n 1
}

# change_disc KIND NAME: puts a new disc in the writer. blank: an empty file (a blank DVD+R);
# pressed: a copy of the pressed image (a DVD-ROM); again: the disc NAME as it is now (after an
# eject); empty: no disc (the file removed once the LUN points at it).
change_disc() {
    local kind=$1 file=$discs/$2.img
    writer_online 0 >/dev/null
    case $kind in
    blank) : >"$file" ;;
    pressed) cp "$root/media/pressed.iso" "$file" ;;
    empty) : >"$file" ;;
    esac
    tgt --op update --mode logicalunit --tid 1 --lun 1 --params "path=$file" >/dev/null
    [[ $kind == empty ]] && rm -f "$file"
    writer_online 1 >/dev/null
}

# Answers the guest's requests on the control serial port until it closes:
#   disc KIND NAME   -> "ready" once the disc is in
#   sum NAME         -> the checksum of disc NAME's file ("none" when there is none)
#   online           -> "Yes" or "No": whether the LUN is online (an eject takes it offline)
serve_writer() {
    local request kind name
    while read -r request kind name; do
        case $request in
        disc) change_disc "$kind" "$name" && echo ready || echo failed ;;
        sum) { md5sum "$discs/$kind.img" 2>/dev/null || echo none; } | cut -d' ' -f1 ;;
        online) writer_online_state ;;
        *) echo "unknown" ;;
        esac
    done <"$work/ctl.out" >"$work/ctl.in"
}

# check_data_disc WHAT NAME: the data disc NAME read back: its label, the md5 sums libisofs
# recorded, the files equal to their sources.
check_data_disc() {
    local what=$1 disc=$discs/$2.img out=$work/readback/$2 label
    label=$(isoinfo -d -i "$disc" 2>/dev/null | sed -n 's/^Volume id: //p')
    if [[ $label != WRITER ]]; then
        echo "FAILED $what read back: label \"$label\", expected WRITER"
    elif ! xorriso -indev "stdio:$disc" -check_md5_r SORRY / -- >"$out.md5" 2>&1; then
        echo "FAILED $what read back: recorded checksums do not match ($(tail -n 2 "$out.md5" | tr '\n' ' '))"
    elif ! 7z x -o"$out" "$disc" >/dev/null 2>&1 ||
        ! cmp -s "$out/notes.txt" "$root/media/notes.txt" ||
        ! diff -r "$out/tree" "$root/media/tree" >/dev/null; then
        echo "FAILED $what read back: the files differ from their sources"
    else
        echo "ok $what read back: label, recorded checksums and files equal"
    fi
}

# Host-side read-back of what the guest wrote: one "ok NAME" or "FAILED NAME: why" a check.
check_written_discs() {
    local out=$work/readback
    rm -rf "$out" && mkdir -p "$out"
    check_data_disc "data disc" data
    check_data_disc "data disc with --verify" verify
    check_data_disc "data disc without --tao" notao
    # The image burn: the disc starts with the image, byte for byte.
    local size
    size=$(stat -c %s "$root/media/disc.iso")
    if cmp -s -n "$size" "$discs/image.img" "$root/media/disc.iso"; then
        echo "ok image disc read back: the image byte for byte"
    else
        echo "FAILED image disc read back: the disc does not start with the image"
    fi
    # DVD-Video: a UDF and ISO 9660 tree with VIDEO_TS, its IFO the authored one.
    if 7z x -o"$out/dvd" "$discs/dvdvideo.img" >/dev/null 2>&1 &&
        isoinfo -f -i "$discs/dvdvideo.img" 2>/dev/null | grep -qx '/VIDEO_TS/VIDEO_TS.IFO;1' &&
        cmp -s "$out/dvd/VIDEO_TS/VIDEO_TS.IFO" "$root/media/dvd/VIDEO_TS/VIDEO_TS.IFO" &&
        head -c 12 "$out/dvd/VIDEO_TS/VIDEO_TS.IFO" | grep -q DVDVIDEO-VMG &&
        diff -r "$out/dvd/VIDEO_TS" "$root/media/dvd/VIDEO_TS" >/dev/null; then
        echo "ok DVD-Video disc read back: VIDEO_TS and a valid IFO in both trees"
    else
        echo "FAILED DVD-Video disc read back: VIDEO_TS missing or different"
    fi
    # The component's burn through queltburn.
    label=$(isoinfo -d -i "$discs/component.img" 2>/dev/null | sed -n 's/^Volume id: //p')
    if [[ $label == FRONTEND ]] && 7z x -o"$out/component" "$discs/component.img" >/dev/null 2>&1 &&
        cmp -s "$out/component/notes.txt" "$root/media/notes.txt"; then
        echo "ok component's disc read back: label and file"
    else
        echo "FAILED component's disc read back: label \"$label\" or its file differs"
    fi
}

writer() {
    local got
    discs=$work/discs
    rm -rf "$discs" && mkdir -p "$discs"
    if ! writer_start "$discs"; then
        echo "FAILED writer: tgtd could not serve the emulated writer"
        writer_stop
        return
    fi
    rm -f "$work/ctl.in" "$work/ctl.out"
    mkfifo "$work/ctl.in" "$work/ctl.out"
    serve_writer &
    local server=$!
    got=$(boot writer "iscsi:$writer_portal/$writer_iqn/1")
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    writer_stop
    grep -v '^tray' <<<"$got" || true
    check_written_discs
}

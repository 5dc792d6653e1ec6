# Helpers of the self-update's end-to-end tests; sourced after lib.sh.
#
#   upd_init NAME            e2e_init, the two launchers, the portal port free
#   upd_portal ARGS...       the demo portal offering the 1002 launcher (plus ARGS), waits until it listens
#   upd_start DIR [EXE]      start the 1001 launcher (or EXE) with DIR as its current directory;
#                            wininet and the debug output (Wine's "seh" warnings) are traced with
#                            timestamps into DIR.log;
#                            pid in $KELVO_PID
#   upd_signed_init          the signed 1001 launcher ($UPD_SIGNED, scripts/lib/variant-build.sh), the
#                            publisher's key $UPD_KEY and another key $UPD_OTHER_KEY (made here)
#   upd_sign KEY FILE VERSION    the Signature value for FILE as VERSION, made as scripts/sign-update
#                            makes it but without its checks
#   upd_downloads LOG        one line per finished download: "<seconds> s"
#   upd_answer TITLE SECS    answers (Return) every window titled TITLE for SECS; prints the count
#   upd_watch LOG N SECS [BOXES]  answers the download-failure ("kelvo") and completion ("提示") messages
#                            until N downloads have finished and BOXES messages were seen (and a
#                            little after), at most SECS;
#                            counts in $UPD_FAIL_BOXES, $UPD_DONE_BOXES; $UPD_WATCHED is true when done
#   upd_pids_in DIR          pids of the Wine processes running DIR\kelvo.exe
#   upd_stop_in DIR          ends those processes (by pid)
#   upd_same A B             the two files have the same bytes
#
# Launchers: $UPD_OLD (built-in version 1001, $KELVO_BUILD/kelvo.exe) and $UPD_NEW (1002,
# $KELVO_BUILD-1002/kelvo.exe, built here when missing). Either can be overridden with
# KELVO_UPDATE_OLD_EXE / KELVO_UPDATE_NEW_EXE.

UPD_PORT=18601
# Each architecture's launcher reads its own manifest; UPD_OTHER_MANIFEST is the one it never asks for.
UPD_MANIFEST=/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini
UPD_OTHER_MANIFEST=/front_resource/kelvo/weiduan/zarn/kelvoupdate-win64.ini
if [ "$KELVO_ARCH" = win64 ]; then
    UPD_OTHER_MANIFEST=$UPD_MANIFEST
    UPD_MANIFEST=/front_resource/kelvo/weiduan/zarn/kelvoupdate-win64.ini
fi
UPD_EXE_PATH=/front_resource/kelvo/weiduan/zarn/kelvo.exe

upd_init() {
    e2e_init "$1"
    UPD_OLD=${KELVO_UPDATE_OLD_EXE:-$KELVO_BUILD/kelvo.exe}
    UPD_NEW=${KELVO_UPDATE_NEW_EXE:-$KELVO_BUILD-1002/kelvo.exe}
    UPD_HOLD=${KELVO_UPDATE_FILEHOLD_EXE:-$KELVO_BUILD/tools/filehold/kelvo_filehold.exe}
    # scripts/test builds it before the scripts run side by side; a script run alone builds it here.
    if [ -z "${KELVO_UPDATE_NEW_EXE:-}" ] && [ ! "$UPD_NEW" -nt "$UPD_OLD" ]; then
        source "$KELVO_ROOT/scripts/lib/variant-build.sh"
        kelvo_1002_build || exit 1
    fi
    local f
    for f in "$UPD_OLD" "$UPD_NEW" "$KELVO_ROOT/build/native/tools/portal/kelvo_portal"; do
        [ -f "$f" ] || {
            echo "missing $f"
            exit 1
        }
    done
    if cmp -s "$UPD_OLD" "$UPD_NEW"; then
        echo "the two launchers are the same file"
        exit 1
    fi
    upd_wait_port_free || exit 1
}

upd_signed_init() {
    source "$KELVO_ROOT/scripts/lib/variant-build.sh"
    kelvo_signed_build || exit 1
    UPD_SIGNED=$KELVO_SIGNED_EXE
    UPD_KEY=$KELVO_SIGNED_KEYS/update-private.pem
    "$KELVO_ROOT/scripts/make-update-key" --force "$E2E_DIR/other-key" >/dev/null || exit 1
    UPD_OTHER_KEY=$E2E_DIR/other-key/update-private.pem
}

# Unchecked: the tests also sign what scripts/sign-update refuses (another version, an unkeyed file).
upd_sign() { (source "$KELVO_ROOT/scripts/lib/update-key.sh" && kelvo_sign_update "$@"); }

upd_wait_port_free() { e2e_wait_port_free "$UPD_PORT"; }

# Succeeds when this test's portal listens on the port.
upd_portal_listens() { ss -ltnp "sport = :$UPD_PORT" | grep "pid=$PORTAL_PID," >/dev/null; }
# Succeeds when the portal listens or has ended (another one took the port first).
upd_portal_settled() { upd_portal_listens || e2e_gone "$PORTAL_PID"; }

upd_portal() {
    local attempt
    for ((attempt = 0; attempt < 5; attempt++)); do
        upd_wait_port_free || return 1
        e2e_start_portal --port "$UPD_PORT" --update-version 1002 --update-exe "$UPD_NEW" "$@"
        e2e_poll 5 upd_portal_settled
        upd_portal_listens && return 0
        upd_stop_portal
    done
    echo "portal does not listen"
    return 1
}

upd_stop_portal() {
    kill "$PORTAL_PID" 2>/dev/null
    wait "$PORTAL_PID" 2>/dev/null
}

upd_start() {
    local dir=$1 exe=${2:-}
    mkdir -p "$dir"
    if [ -z "$exe" ]; then
        cp "$UPD_OLD" "$dir/kelvo.exe"
        exe=kelvo.exe
    fi
    # A launcher whose windows work starts its update check, and with it WinINet's trace. On a loaded
    # machine with the scripts side by side, Wine has now and then failed to start a program: its
    # desktop process did not come up in time ("no driver could be loaded"), or the program ended
    # without a word. Such a start is Wine's failure, not the launcher's: it is made once more, and
    # the script's log says so.
    local attempt
    for attempt in 1 2; do
        (cd "$dir" && WINEDEBUG=-all,err+all,+timestamp,+wininet,warn+seh exec "$WINELOADER" "$exe" >"$dir.log" 2>&1) &
        KELVO_PID=$!
        E2E_PIDS+=("$KELVO_PID")
        e2e_poll 30 upd_start_settled "$dir.log"
        upd_wine_failed "$dir.log" && [ "$attempt" = 1 ] || return 0
        echo "note: Wine did not start $exe in $dir ($(grep -m1 -o 'nodrv_CreateWindow.*' "$dir.log" || echo 'no output')); started again"
        kill "$KELVO_PID" 2>/dev/null
        wait "$KELVO_PID" 2>/dev/null
    done
}
upd_start_settled() {
    grep -q -e ':wininet:' -e nodrv_CreateWindow "$1" 2>/dev/null || ! kill -0 "$KELVO_PID" 2>/dev/null
}
# No update check began, and Wine said it had no display driver for the launcher, or it has ended.
upd_wine_failed() {
    ! grep -q ':wininet:' "$1" && { grep -q nodrv_CreateWindow "$1" || ! kill -0 "$KELVO_PID" 2>/dev/null; }
}

# A download opens a session, a connection and a request, and has ended when all are closed again.
upd_downloads() {
    awk '
        /trace:wininet:(InternetOpenW|InternetConnectW|HttpOpenRequestW) returning/ && $NF !~ /^0+$/ {
            split($1, t, ":")
            if (open == 0) start = t[1]
            open++
        }
        /trace:wininet:InternetCloseHandle/ && open > 0 {
            split($1, t, ":")
            if (--open == 0) printf "%.2f s\n", t[1] - start
        }' "$1" 2>/dev/null
}

# One look at the screen: each window titled one of TITLES (titles without spaces) that was not
# answered before is answered with Return and counted, a "kelvo" one (the download's failure) in
# $UPD_FAIL_BOXES, any other (the completion's "提示") in $UPD_DONE_BOXES. $UPD_SEEN holds the ids
# answered so far.
upd_answer_boxes() {
    local id title
    while read -r id title; do
        [ -n "$id" ] || continue
        case "$UPD_SEEN" in *" $id "*) continue ;; esac
        UPD_SEEN="$UPD_SEEN$id "
        if [ "$title" = kelvo ]; then
            UPD_FAIL_BOXES=$((UPD_FAIL_BOXES + 1))
        else
            UPD_DONE_BOXES=$((UPD_DONE_BOXES + 1))
        fi
        sleep 0.3
        e2e_key "$id" Return
    done < <(xwininfo -root -children 2>/dev/null | awk -v titles="$*" '
        BEGIN { n = split(titles, t, " "); for (i = 1; i <= n; i++) want["\"" t[i] "\":"] = t[i] }
        $2 in want { print $1, want[$2] }')
}

upd_answer_start() {
    UPD_SEEN=" "
    UPD_FAIL_BOXES=0
    UPD_DONE_BOXES=0
}

# A look that never ends the poll: the answering lasts its whole time.
upd_answer_look() {
    upd_answer_boxes "$@"
    return 1
}

upd_answer() {
    upd_answer_start
    e2e_poll "$2" upd_answer_look "$1"
    echo $((UPD_FAIL_BOXES + UPD_DONE_BOXES))
}

# One look of upd_watch: succeeds once N downloads of LOG have finished and BOXES messages were
# seen, and 5 s more have passed (25 looks): a message box can take seconds to appear on a loaded
# machine (fonts load on its first use).
upd_watch_look() {
    upd_answer_boxes kelvo 提示
    if [ "$(upd_downloads "$1" | wc -l)" -ge "$2" ] && [ $((UPD_FAIL_BOXES + UPD_DONE_BOXES)) -ge "$3" ]; then
        UPD_GRACE=$((UPD_GRACE + 1))
    fi
    [ "$UPD_GRACE" -ge 25 ]
}

upd_watch() {
    upd_answer_start
    UPD_GRACE=0
    UPD_WATCHED=false
    e2e_poll "$3" upd_watch_look "$1" "$2" "${4:-0}" || return 1
    UPD_WATCHED=true
}

upd_pids_in() {
    local win p
    win=$(kelvo_wine winepath.exe -w "$1" 2>/dev/null | tr -d '\r')
    for p in /proc/[0-9]*; do
        case "$(tr '\0' ' ' 2>/dev/null <"$p/cmdline")" in
        "$win\\kelvo.exe "*) basename "$p" ;;
        esac
    done
}

upd_stop_in() {
    local p
    for p in $(upd_pids_in "$1"); do
        kill "$p" 2>/dev/null
    done
}

upd_same() { cmp -s "$1" "$2"; }

upd_elapsed() { echo "$(date +%s.%N) - $1" | bc -l | awk '{ printf "%.1f", $1 }'; }

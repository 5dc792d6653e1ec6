# The self-update's fault cases, for the scripts that run them one after another: each case starts
# the old launcher in a fresh directory against a portal set up for it, watches its downloads and
# message boxes, checks, and ends everything it started before the next. Sourced after update_lib.sh.
#
#   begin NAME DOWNLOADS [portal options | "none"]   a fresh $dir, the portal (or none) for the case
#   watch SECS [BOXES]        wait for the downloads (and message boxes); their times in $summary
#   check WHAT COMMAND...     a failed COMMAND adds WHAT to the case's failures
#   end NOTE                  end the case's processes and print its one line
#   hold PATH MODE            another program holds PATH open (kelvo_filehold) until the case ends

CASE_FAILED=""
HOLD_PID=""
RO_MOUNT=""
check() {
    local what=$1
    shift
    "$@" || CASE_FAILED="$CASE_FAILED; $what"
}
manifests() { grep -c "^GET $UPD_MANIFEST" "$E2E_DIR/portal.log" 2>/dev/null; }
exes() { grep -c "^GET $UPD_EXE_PATH" "$E2E_DIR/portal.log" 2>/dev/null; }
old_in_place() { upd_same "$dir/kelvo.exe" "$UPD_OLD"; }
running() { kill -0 "$KELVO_PID" 2>/dev/null; }
absent() { [ ! -e "$1" ]; }

# case NAME DOWNLOADS [portal options | "none"]: starts the old launcher in a fresh directory.
# No message box of the update, of either kind.
no_message() { test "$((UPD_FAIL_BOXES + UPD_DONE_BOXES))" = 0; }

# A failed update ends as a failed download does: no message, the old launcher in place, nothing
# set aside, no restart, the login going on.
check_failed_quietly() {
    check "a message was shown" no_message
    check "${1:-old launcher not in place}" old_in_place
    check "kelvo_.exe left" absent "$dir/kelvo_.exe"
    check "restarted" test "$(manifests)" = 1
    check "launcher stopped" running
}

begin() {
    name=$1
    downloads=$2
    shift 2
    CASE_FAILED=""
    dir=$E2E_DIR/$name
    mkdir -p "$dir"
    : >"$E2E_DIR/portal.log"
    if [ "${1:-}" != none ]; then
        upd_portal "$@" || CASE_FAILED="; portal did not start"
    else
        upd_wait_port_free || CASE_FAILED="; port not free"
    fi
}

watch() {
    local secs=$1 boxes=${2:-0} started
    started=$(date +%s.%N)
    upd_watch "$dir.log" "$downloads" "$secs" "$boxes"
    check "launcher did not finish its downloads within $secs s" $UPD_WATCHED
    # A run that loops (the portal unreachable) makes thousands: the first eight and the count.
    local count
    count=$(upd_downloads "$dir.log" | wc -l)
    times=$(upd_downloads "$dir.log" | head -8 | paste -sd, | sed 's/,/, /g')
    [ "$count" -gt 8 ] && times="$times, … ($count in all)"
    summary="messages: $UPD_FAIL_BOXES failure, $UPD_DONE_BOXES completion; downloads: ${times:-none}"
}

end() {
    local note=$1
    upd_stop_in "$dir"
    kill "$KELVO_PID" 2>/dev/null
    wait "$KELVO_PID" 2>/dev/null
    # Nothing of this case may live on into the next: a launcher left behind would keep later
    # message boxes from showing.
    kelvo_wineserver -k 2>/dev/null
    kelvo_wineserver -w 2>/dev/null
    if [ -n "$HOLD_PID" ]; then
        kill "$HOLD_PID" 2>/dev/null
        wait "$HOLD_PID" 2>/dev/null
        HOLD_PID=""
    fi
    upd_stop_portal
    if [ -n "$RO_MOUNT" ]; then
        sleep 0.5
        umount "$RO_MOUNT" 2>/dev/null || umount -l "$RO_MOUNT"
        RO_MOUNT=""
    fi
    if [ -z "$CASE_FAILED" ]; then
        e2e_result 0 "$name: $note; $summary"
    else
        e2e_result 1 "$name${CASE_FAILED}; $note; $summary"
    fi
}

hold() {
    local path=$1 mode=$2
    (cd "$(dirname "$path")" && exec "$WINELOADER" "$UPD_HOLD" "$(basename "$path")" "$mode" 120 >"$path.hold" 2>&1) &
    HOLD_PID=$!
    e2e_wait_line "$path.hold" held 10 || CASE_FAILED="$CASE_FAILED; cannot hold $path"
}

# The log's line for a download stopped at its size or time bound.
bounded() { grep -q "kelvo update: download stopped at its size or time bound" "$dir.log"; }

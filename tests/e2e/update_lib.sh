# Helpers of the self-update's end-to-end tests; sourced after lib.sh.
#
#   upd_init NAME            e2e_init, the two launchers, the portal port free
#   upd_portal ARGS...       the demo portal offering the 1002 launcher (plus ARGS), waits until it listens
#   upd_start DIR [EXE]      start the 1001 launcher (or EXE) with DIR as its current directory;
#                            wininet and the debug output (Wine's "seh" warnings) are traced with
#                            timestamps into DIR.log;
#                            pid in $KELVO_PID
#   upd_signed_init          the signed 1001 launcher ($UPD_SIGNED, scripts/lib/signed-build.sh), the
#                            publisher's key $UPD_KEY and another key $UPD_OTHER_KEY (made here)
#   upd_sign KEY FILE VERSION    the Signature value scripts/sign-update gives
#   upd_downloads LOG        one line per finished download: "<seconds> s"
#   upd_wait_downloads LOG N SECS   wait until N downloads have finished
#   upd_answer TITLE SECS    answers (Return) every window titled TITLE for SECS; prints the count
#   upd_watch LOG N SECS [BOXES]  answers the download-failure ("kelvo") and completion ("提示") messages
#                            until N downloads have finished and BOXES messages were seen (and a
#                            little after), at most SECS;
#                            counts in $UPD_FAIL_BOXES, $UPD_DONE_BOXES; $UPD_WATCHED is true when done
#   upd_pids_in DIR          pids of the Wine processes running DIR\kelvo.exe
#   upd_stop_in DIR          ends those processes (by pid)
#   upd_wait_exit PID SECS   wait for a process of this shell; status in $UPD_STATUS
#   upd_same A B             the two files have the same bytes
#
# Launchers: $UPD_OLD (built-in version 1001, $KELVO_BUILD/kelvo.exe) and $UPD_NEW (1002,
# $KELVO_BUILD-1002/kelvo.exe, built here when missing). Either can be overridden with
# KELVO_UPDATE_OLD_EXE / KELVO_UPDATE_NEW_EXE.

UPD_PORT=18601
UPD_MANIFEST=/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini
UPD_EXE_PATH=/front_resource/kelvo/weiduan/zarn/kelvo.exe

upd_init() {
    e2e_init "$1"
    UPD_OLD=${KELVO_UPDATE_OLD_EXE:-$KELVO_BUILD/kelvo.exe}
    UPD_NEW=${KELVO_UPDATE_NEW_EXE:-$KELVO_BUILD-1002/kelvo.exe}
    UPD_HOLD=${KELVO_UPDATE_FILEHOLD_EXE:-$KELVO_BUILD/tools/filehold/kelvo_filehold.exe}
    if [ -z "${KELVO_UPDATE_NEW_EXE:-}" ] && [ ! "$UPD_NEW" -nt "$UPD_OLD" ]; then
        (cd "$KELVO_ROOT" && cmake --preset "$KELVO_ARCH" -B "$KELVO_BUILD-1002" -DKELVO_VERSION=1002 >/dev/null &&
            cmake --build "$KELVO_BUILD-1002" -j2 --target kelvo >/dev/null) || {
            echo "cannot build the 1002 launcher"
            exit 1
        }
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
    source "$KELVO_ROOT/scripts/lib/signed-build.sh"
    kelvo_signed_build || exit 1
    UPD_SIGNED=$KELVO_SIGNED_EXE
    UPD_KEY=$KELVO_SIGNED_KEYS/update-private.pem
    "$KELVO_ROOT/scripts/make-update-key" "$E2E_DIR/other-key" >/dev/null || exit 1
    UPD_OTHER_KEY=$E2E_DIR/other-key/update-private.pem
}

upd_sign() { "$KELVO_ROOT/scripts/sign-update" "$@" | sed -n 's/^Signature=//p'; }

upd_wait_port_free() { e2e_wait_port_free "$UPD_PORT"; }

upd_portal() {
    local attempt i
    for ((attempt = 0; attempt < 5; attempt++)); do
        upd_wait_port_free || return 1
        e2e_start_portal --port "$UPD_PORT" --update-version 1002 --update-exe "$UPD_NEW" "$@"
        for ((i = 0; i < 50; i++)); do
            if ss -ltnp "sport = :$UPD_PORT" | grep -q "pid=$PORTAL_PID,"; then
                return 0
            fi
            kill -0 "$PORTAL_PID" 2>/dev/null || break
            sleep 0.1
        done
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
    (cd "$dir" && WINEDEBUG=-all,+timestamp,+wininet,warn+seh exec "$WINELOADER" "$exe" >"$dir.log" 2>&1) &
    KELVO_PID=$!
    E2E_PIDS+=("$KELVO_PID")
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

upd_wait_downloads() {
    local log=$1 n=$2 secs=$3 i
    for ((i = 0; i < secs * 5; i++)); do
        [ "$(upd_downloads "$log" | wc -l)" -ge "$n" ] && return 0
        sleep 0.2
    done
    return 1
}

upd_answer() {
    local title=$1 secs=$2 count=0 i id seen=" "
    for ((i = 0; i < secs * 5; i++)); do
        for id in $(xwininfo -root -children 2>/dev/null | awk -v t="\"$title\":" '$2 == t { print $1 }'); do
            case "$seen" in *" $id "*) continue ;; esac
            seen="$seen$id "
            count=$((count + 1))
            sleep 0.3
            xdotool key --window "$id" Return 2>/dev/null
        done
        sleep 0.2
    done
    echo "$count"
}

upd_watch() {
    local log=$1 n=$2 secs=$3 expected=${4:-0} i id title seen=" " grace=0
    UPD_FAIL_BOXES=0
    UPD_DONE_BOXES=0
    UPD_WATCHED=false
    for ((i = 0; i < secs * 5; i++)); do
        while read -r id title; do
            [ -n "$id" ] || continue
            case "$seen" in *" $id "*) continue ;; esac
            seen="$seen$id "
            if [ "$title" = kelvo ]; then
                UPD_FAIL_BOXES=$((UPD_FAIL_BOXES + 1))
            else
                UPD_DONE_BOXES=$((UPD_DONE_BOXES + 1))
            fi
            sleep 0.3
            xdotool key --window "$id" Return 2>/dev/null
        done < <(xwininfo -root -children 2>/dev/null |
            awk '$2 == "\"kelvo\":" { print $1, "kelvo" } $2 == "\"提示\":" { print $1, "done" }')
        if [ "$(upd_downloads "$log" | wc -l)" -ge "$n" ] &&
            [ $((UPD_FAIL_BOXES + UPD_DONE_BOXES)) -ge "$expected" ]; then
            # A message box can take seconds to appear on a loaded machine (fonts load on its
            # first use): keep looking for 5 s after the last download.
            grace=$((grace + 1))
            if [ "$grace" -ge 25 ]; then
                UPD_WATCHED=true
                return 0
            fi
        fi
        sleep 0.2
    done
    return 1
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

# Waits for a process started by this shell; its exit status (or "timeout") in $UPD_STATUS.
upd_wait_exit() {
    local pid=$1 secs=$2 i
    UPD_STATUS=timeout
    for ((i = 0; i < secs * 10; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            UPD_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

upd_same() { cmp -s "$1" "$2"; }

upd_elapsed() { echo "$(date +%s.%N) - $1" | bc -l | awk '{ printf "%.1f", $1 }'; }

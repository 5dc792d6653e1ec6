# Shared helpers of the end-to-end tests; each test script sources this file.
#
# Environment (set by scripts/test; a test run on its own sets it up itself):
#   KELVO_ROOT        repository root
#   WINEPREFIX        a scratch Wine prefix, made with `wineboot -i` when it does not exist yet
#   KELVO_ARCH ...    the build and Wine loader to use (scripts/lib/host.sh; chosen here when unset)
#   DISPLAY           an X display; when unset, e2e_init starts Xvfb at 1920x1080x24
#
# Functions:
#   e2e_init NAME             scratch folder $E2E_DIR (removed on exit), display, prefix, cleanup trap
#   e2e_wine ARGS...          wine with the test environment (WINEDEBUG=-all unless set)
#   e2e_start_kelvo DIR       copy $KELVO_BUILD/kelvo.exe into DIR and start it there; pid in $KELVO_PID
#   e2e_wait_exit PID SECS    wait for a process this shell started; its exit status (or "timeout")
#                             in $E2E_STATUS. Not in $(...): a subshell cannot wait for its
#                             parent's child, and reads no status once the process ends meanwhile
#   e2e_find_window TITLE [SECS]   X id of the top-level window with exactly that title (or fails)
#   e2e_geometry ID|TITLE     prints "X Y W H" of a window in root coordinates; a title is looked
#                             up anew (Wine may replace a window's X window, for example when it
#                             turns layered, so an id found earlier can go stale)
#   e2e_screenshot FILE       screenshot of the whole screen
#   e2e_pixel FILE X Y        prints "R G B" of one pixel of a screenshot
#   e2e_key WINDOW KEY        press KEY in a window that may close on it, and let go of it
#   e2e_click X Y             left click at screen coordinates
#   e2e_drag X1 Y1 X2 Y2      press at (X1, Y1), move to (X2, Y2), release
#   e2e_start_portal ARGS...  start the demo portal (log $E2E_DIR/portal.log); pid in $PORTAL_PID
#   e2e_wait_port_free PORT|ADDRESS:PORT   wait (up to 2 minutes) until nothing listens there
#   e2e_register_standins [--copy DIR]   the stand-in controls (see below)
#   e2e_register_url_recorder install the address recorder as the prefix's http/https handler;
#                             addresses land in $E2E_RECORDED
#   e2e_stamp_lines FILE OUT  in the background, append each new line of FILE to OUT as "SECONDS LINE",
#                             SECONDS the time it was seen (date +%s.%N, looked at every 50 ms)
#   e2e_check NAME CONDITION... run CONDITION; count and print "ok NAME" or "FAIL NAME"
#   e2e_result STATUS TEXT    count a result found otherwise (0: passed) and print its line
#   e2e_poll SECS COMMAND...  run COMMAND every 0.2 s until it succeeds or SECS run out (the one
#                             wait of the scripts); e2e_wait_until NAME SECS COMMAND... checks it
#   e2e_at_least N COMMAND... succeeds when the number COMMAND prints is at least N
#   e2e_wait_line FILE ERE [SECS]  wait for a line of FILE matching ERE
#   e2e_finish                print "NAME: N passed, M failed" and exit non-zero on failures

# The scripts' one shell mode: unset variables and failed pipelines are errors. Not -e: a test
# script goes on after a failed check and counts it, and each step whose failure ends a script
# says so with `|| exit`.
set -uo pipefail

KELVO_ROOT=${KELVO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$KELVO_ROOT/scripts/lib/host.sh"
if [ -z "${KELVO_BUILD:-}" ] || [ -z "${WINELOADER:-}" ]; then
    kelvo_choose_arch || exit 1
fi
E2E_PASSED=0
E2E_FAILED=0
E2E_PIDS=()

e2e_cleanup() {
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    pkill -f "$E2E_DIR" 2>/dev/null
    # A prefix shared with later tests gets its Flash class back.
    [ -n "${E2E_RESTORE_FLASH:-}" ] && kelvo_register_standins flash >/dev/null 2>&1
    if [ -n "${E2E_OWN_XVFB:-}" ]; then
        WINEPREFIX=$WINEPREFIX kelvo_wineserver -k 2>/dev/null
        kill "$E2E_OWN_XVFB" 2>/dev/null
    fi
    # The run's own records (stand-ins, portal, recorder) outlive it where the caller asks, so that a
    # failure can be read afterwards.
    if [ -n "${KELVO_E2E_KEEP:-}" ] && [ -n "${E2E_DIR:-}" ]; then
        mkdir -p "$KELVO_E2E_KEEP"
        find "$E2E_DIR" -maxdepth 1 -name '*.log' -exec cp {} "$KELVO_E2E_KEEP/" \;
    fi
    [ -n "${E2E_DIR:-}" ] && rm -rf "$E2E_DIR"
}

# Every window query of the scripts is bounded: on a loaded machine one xwininfo has been seen to
# wait on the X server for minutes, holding up the whole run.
xwininfo() { timeout 10 "$(type -P xwininfo)" "$@"; }

e2e_init() {
    E2E_NAME=$1
    E2E_DIR=$(mktemp -d "/tmp/kelvo-e2e-$E2E_NAME.XXXXXX")
    trap e2e_cleanup EXIT
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
    if [ -z "${DISPLAY:-}" ]; then
        kelvo_start_xvfb || exit 1
        E2E_OWN_XVFB=$KELVO_XVFB_PID
    fi
    # Windows of programs that an earlier run ended go away only when the X server has seen their
    # connections close; a test must not find one of them by its title.
    e2e_poll 15 e2e_no_windows
    export WINEPREFIX=${WINEPREFIX:-$E2E_DIR/prefix}
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        e2e_make_prefix
    fi
}

# A fresh prefix whose windows are not handed to a window manager: under a bare X server Wine
# would otherwise wait for one on every hide.
e2e_make_prefix() { kelvo_make_prefix; }

e2e_wine() { kelvo_wine "$@"; }

e2e_start_kelvo() {
    local dir=$1
    mkdir -p "$dir"
    cp "$KELVO_BUILD/kelvo.exe" "$dir/kelvo.exe"
    (cd "$dir" && exec "$WINELOADER" kelvo.exe >"$dir/kelvo.log" 2>&1) &
    KELVO_PID=$!
    E2E_PIDS+=("$KELVO_PID")
    # A loader that cannot start at all (126, 127) is reported now, not after a test's time-out.
    sleep 0.3
    if ! kill -0 "$KELVO_PID" 2>/dev/null; then
        wait "$KELVO_PID"
        local status=$?
        if [ "$status" -eq 126 ] || [ "$status" -eq 127 ]; then
            echo "kelvo.exe could not be started with $WINELOADER (status $status):" >&2
            tail -3 "$dir/kelvo.log" >&2
            exit 1
        fi
    fi
}

# Succeeds when the display has no top-level window left.
e2e_no_windows() {
    [ "$(xwininfo -root -children 2>/dev/null | awk '/ child(ren)?[:.]$/ { print $1; exit }')" = 0 ]
}

# Succeeds when process PID has ended.
e2e_gone() { ! kill -0 "$1" 2>/dev/null; }

e2e_wait_exit() {
    E2E_STATUS=timeout
    e2e_poll "$2" e2e_gone "$1" || return 1
    wait "$1"
    E2E_STATUS=$?
}

# Succeeds when a top-level window has exactly that title; its id is then in $E2E_WINDOW.
e2e_window_titled() {
    E2E_WINDOW=$(xwininfo -root -children 2>/dev/null | awk -v t="\"$1\":" '$2 == t { print $1; exit }')
    [ -n "$E2E_WINDOW" ]
}

e2e_find_window() {
    e2e_poll "${2:-20}" e2e_window_titled "$1" && echo "$E2E_WINDOW"
}

e2e_geometry() {
    local id=$1
    case "$id" in 0x*) ;; *) id=$(e2e_find_window "$id" 5) || return 1 ;; esac
    xwininfo -id "$id" | awk '
        /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 }
        END { print x, y, w, h }'
}

# e2e_key WINDOW KEY: presses KEY in WINDOW, which may close on it. xdotool releases the key against
# the window, so when the window has gone by then it stops there (BadWindow) and the X server holds
# the key down, repeating it into whichever window takes the focus next; the release without a
# window makes sure it is let go.
e2e_key() {
    xdotool key --window "$1" "$2" 2>/dev/null
    xdotool keyup "$2"
}

e2e_screenshot() { import -window root "$1" 2>/dev/null; }

e2e_pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

e2e_click() {
    xdotool mousemove "$1" "$2"
    sleep 0.3
    xdotool click 1
}

e2e_drag() {
    xdotool mousemove "$1" "$2"
    sleep 0.3
    xdotool mousedown 1
    sleep 0.3
    local steps=10 i
    for ((i = 1; i <= steps; i++)); do
        xdotool mousemove $(($1 + ($3 - $1) * i / steps)) $(($2 + ($4 - $2) * i / steps))
        sleep 0.05
    done
    sleep 0.3
    xdotool mouseup 1
    sleep 0.5
}

e2e_start_portal() {
    local portal=$KELVO_ROOT/build/native/tools/portal/kelvo_portal
    "$portal" "$@" >"$E2E_DIR/portal.log" 2>&1 &
    PORTAL_PID=$!
    E2E_PIDS+=("$PORTAL_PID")
    sleep 0.5
}

# Succeeds when nothing listens on port PORT.
# e2e_port_free PORT | ADDRESS:PORT
e2e_port_free() {
    local filter="sport = :$1"
    case $1 in *:*) filter="src $1" ;; esac
    ! ss -ltn "$filter" | grep LISTEN >/dev/null
}

e2e_wait_port_free() {
    e2e_poll 120 e2e_port_free "$1" || {
        echo "port $1 stays busy"
        return 1
    }
}

e2e_register_url_recorder() {
    local win_dir
    cp "$KELVO_BUILD/tools/kelvo_urlrecorder.exe" "$E2E_DIR/urlrecorder.exe"
    win_dir=$(kelvo_wine winepath.exe -w "$E2E_DIR" 2>/dev/null | tr -d '\r')
    E2E_RECORDED=$E2E_DIR/links.txt
    local scheme
    for scheme in http https; do
        kelvo_wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve /d "\"$win_dir\\urlrecorder.exe\" \"%1\"" /f \
            >/dev/null 2>&1
    done
}

# The one count of results: e2e_result STATUS TEXT counts TEXT as passed (status 0) or failed and
# prints "ok TEXT" or "FAIL TEXT".
e2e_result() {
    if [ "$1" -eq 0 ]; then
        E2E_PASSED=$((E2E_PASSED + 1))
        echo "ok $2"
    else
        E2E_FAILED=$((E2E_FAILED + 1))
        echo "FAIL $2"
    fi
}

e2e_check() {
    local name=$1
    shift
    "$@"
    e2e_result $? "$name"
}

e2e_finish() {
    # The stand-ins run strict: misuse they detected (a call after a control's last release, a
    # release or a destroyed view inside the control's own event) fails the run.
    if [ -n "${E2E_STANDIN_LOG:-}" ] && [ -f "$E2E_STANDIN_LOG" ]; then
        e2e_check "no fault in the stand-ins' record" bash -c '! grep "^fault: " "$1"' _ "$E2E_STANDIN_LOG"
    fi
    echo "$E2E_NAME: $E2E_PASSED passed, $E2E_FAILED failed"
    [ "$E2E_FAILED" -eq 0 ]
    exit $?
}

# Registers the stand-in controls in the prefix; the DLL is kept inside the prefix so that the
# registration outlives this test's scratch folder. The stand-in's log goes to $E2E_STANDIN_LOG.
#   e2e_register_standins              both controls
#   e2e_register_standins --copy DIR   the web browser control only, the Flash class's registration
#                                      taken out of the prefix until the test ends, and the Flash
#                                      stand-in copied into DIR as flash.ocx (beside kelvo.exe)
e2e_register_standins() {
    if [ "${1:-}" = --copy ]; then
        kelvo_register_standins browser >/dev/null
        "$KELVO_ROOT/tools/standins/register.sh" --remove flash >/dev/null
        E2E_RESTORE_FLASH=1
        mkdir -p "$2"
        cp "$KELVO_BUILD/tools/kelvo_standins.dll" "$2/flash.ocx"
    else
        kelvo_register_standins >/dev/null
    fi
    export E2E_STANDIN_LOG=$E2E_DIR/standin.log
    export KELVO_STANDIN_LOG=$E2E_STANDIN_LOG
}

# Polls a command every 0.2 s until it succeeds or SECS run out.
e2e_poll() {
    local secs=$1 i
    shift
    for ((i = 0; i < secs * 5; i++)); do
        "$@" && return 0
        sleep 0.2
    done
    "$@"
}

# One check that waits: e2e_wait_until NAME SECS COMMAND ARGS...
e2e_wait_until() {
    local name=$1
    shift
    e2e_check "$name" e2e_poll "$@"
}

# Succeeds when the number that COMMAND prints is at least N: e2e_at_least N COMMAND ARGS...
e2e_at_least() {
    local n=$1
    shift
    [ "$("$@")" -ge "$n" ]
}

e2e_stamp_lines() {
    local file=$1 out=$2
    (
        seen=0
        while :; do
            total=$(wc -l <"$file" 2>/dev/null || echo 0)
            if [ "$total" -gt "$seen" ]; then
                now=$(date +%s.%N)
                sed -n "$((seen + 1)),${total}p" "$file" | sed "s/^/$now /" >>"$out"
                seen=$total
            fi
            sleep 0.05
        done
    ) &
    E2E_PIDS+=("$!")
}

# Waits until a file has a line matching an extended regular expression.
e2e_wait_line() {
    e2e_poll "${3:-20}" grep -sqE "$2" "$1"
}

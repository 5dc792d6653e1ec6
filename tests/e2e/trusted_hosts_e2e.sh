#!/bin/bash
# Trusted hosts with the real kelvo.exe under Wine: a second portal on 127.0.0.2 serves a game-entry
# page and the loader movie. The default launcher enters from that page and loads the movie from
# there. A launcher built with KELVO_TRUSTED_HOSTS=127.0.0.1 (scripts/lib/variant-build.sh) leaves
# that entry page alone, and for an entry from the portal it loads no movie from 127.0.0.2; each
# refusal is one debug line that names the host and not the query.
source "$(dirname "$0")/lib.sh"
source "$KELVO_ROOT/scripts/lib/variant-build.sh"
e2e_init trusted_hosts_e2e
kelvo_trusted_build || exit 1
e2e_register_standins
run=$E2E_DIR/run
second=$E2E_DIR/portal2.log
"$KELVO_ROOT/build/native/tools/portal/kelvo_portal" --listen 127.0.0.2 --port 18601 >"$second" 2>&1 &
E2E_PIDS+=("$!")
e2e_check "a second portal listens on 127.0.0.2" e2e_wait_line "$second" 'listening on 127\.0\.0\.2:18601' 10
movie='^GET /front_resource/kelvo/GameLoader_1001.swf$'

# The frame's left and top once the login page is shown, in $fx $fy.
frame_place() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null | awk '$2 == "\"Kelvo\":" { print $1 }'); do
        read -r fx fy fw fh <<<"$(e2e_geometry "$id")"
        [ "$fw.$fh" = 1155.625 ] && return 0
    done
    return 1
}
# One launcher from BUILD against the portal on 127.0.0.1 started with PORTAL_ARGS: the login page,
# then a click on server 12 until its entry page (on ENTRY_HOST) completes; the launcher's debug
# output is in $run/kelvo.log afterwards.
enter() { # BUILD ENTRY_HOST PORTAL_ARGS...
    local build=$1 host=$2 try
    shift 2
    : >"$E2E_STANDIN_LOG"
    : >"$second"
    e2e_start_portal --port 18601 "$@"
    KELVO_BUILD=$build WINEDEBUG=-all,warn+seh e2e_start_kelvo "$run"
    e2e_check "login page completes" \
        e2e_wait_line "$E2E_STANDIN_LOG" '^complete http://127\.0\.0\.1:18601/games/kelvo/dlq/$' 60
    e2e_poll 10 frame_place
    sleep 1
    for ((try = 0; try < 3; try++)); do
        e2e_click $((fx + 407 + 48)) $((fy + 184 + 88))
        e2e_wait_line "$E2E_STANDIN_LOG" "^complete http://${host//./\\.}:18601/games/kelvo/enter/error\\.php\\?uid=1001&" 10 &&
            break
    done
    e2e_check "the entry page on $host completes" test "$try" -lt 3
}
leave() {
    kill "$KELVO_PID" "$PORTAL_PID" 2>/dev/null
    wait "$KELVO_PID" "$PORTAL_PID" 2>/dev/null
    e2e_poll 15 e2e_no_windows
    # Only the portal of the phase: the second portal listens on 127.0.0.2 throughout.
    e2e_wait_port_free 127.0.0.1:18601 >/dev/null
}
traced() { grep -F "$1" "$run/kelvo.log" >/dev/null; }
# The web view is sent to the login page after the placeholder, and again by each entry taken.
logins() { grep -c '^navigate http://127\.0\.0\.1:18601/games/kelvo/dlq/$' "$E2E_STANDIN_LOG"; }
entry_taken() { [ "$(logins)" -ge 2 ]; }

echo "-- the default launcher, entry and movie on 127.0.0.2"
enter "$KELVO_BUILD" 127.0.0.2 --host 127.0.0.2:18601
e2e_check "the entry is taken: the web view goes back to the login page" e2e_poll 10 entry_taken
e2e_check "the movie is loaded from 127.0.0.2" e2e_wait_line "$second" "$movie" 15
leave

echo "-- trusted hosts 127.0.0.1: the entry page on 127.0.0.2"
enter "$KELVO_TRUSTED_BUILD" 127.0.0.2 --host 127.0.0.2:18601
e2e_check "a refusal is traced" e2e_poll 10 traced 'Trusted hosts: refused the game entry from http://127.0.0.2:18601'
e2e_check "the entry page is left alone" test "$(logins)" = 1
e2e_check "no movie is asked for" bash -c '! grep "GameLoader" "$1"' _ "$second"
e2e_check "the trace holds no query" bash -c '! grep -E "Trusted hosts.*(uid=|serverid|error\.php)" "$1"' _ "$run/kelvo.log"
leave

echo "-- trusted hosts 127.0.0.1: the portal's entry with its movie on 127.0.0.2"
enter "$KELVO_TRUSTED_BUILD" 127.0.0.1 --resource-host 127.0.0.2:18601
e2e_check "the entry is taken" e2e_poll 10 entry_taken
e2e_check "a refusal is traced" e2e_poll 10 traced 'Trusted hosts: refused the movie from http://127.0.0.2:18601'
sleep 2
e2e_check "no movie is asked for" bash -c '! grep "GameLoader" "$1"' _ "$second"
e2e_check "the control still plays" e2e_wait_line "$E2E_STANDIN_LOG" '^Play$' 5
leave

e2e_finish

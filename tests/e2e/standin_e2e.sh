#!/bin/bash
# The web browser stand-in in a fresh prefix of its own: its Windows tests skip before
# tools/standins/register.sh and pass after it; then, hosted by atl.dll in the viewer, it shows the
# demo portal's login page, follows a click on a server link and records it all.
# Its own prefix, so that the registration does not reach the other tests' prefix.
unset WINEPREFIX
source "$(dirname "$0")/lib.sh"
e2e_init standin

BUILD=$KELVO_BUILD
PORT=18671
export KELVO_STANDIN_LOG=$E2E_DIR/standin.log
# e2e_finish fails the run on a fault the stand-ins recorded.
export E2E_STANDIN_LOG=$KELVO_STANDIN_LOG

# Through a file, not straight into $(...): Wine's background processes, started by the first
# program of the prefix, inherit its output and would hold the pipe open long after the tests end.
standin_tests() {
    (cd "$BUILD" && kelvo_wine kelvo_win_tests.exe --gtest_filter='StandinBrowser.*' >"$E2E_DIR/tests.log" 2>&1)
    cat "$E2E_DIR/tests.log"
}

before=$(standin_tests)
e2e_check "tests skip while the class id is the system's" grep -q 'SKIPPED \] 10 tests' <<<"$before"

register_out=$(bash "$KELVO_ROOT/tools/standins/register.sh" "$BUILD/tools/kelvo_standins.dll" 2>&1)
e2e_check "register.sh succeeds" test $? -eq 0
query=$(kelvo_wine reg query 'HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32' "$KELVO_REG_VIEW" 2>&1)
e2e_check "server path in the $KELVO_REG_VIEW view" grep -qi 'kelvo_standins.dll' <<<"$query"
e2e_check "apartment threading" grep -q 'ThreadingModel.*Apartment' <<<"$query"
echo "$register_out"

after=$(standin_tests)
e2e_check "tests pass once registered" grep -q 'PASSED  \] 10 tests' <<<"$after"
grep -q 'PASSED  \] 10 tests' <<<"$after" || echo "$after" | tail -30

: >"$KELVO_STANDIN_LOG"
e2e_start_portal --port "$PORT"
login="http://127.0.0.1:$PORT/games/kelvo/dlq/"
(cd "$E2E_DIR" && exec "$WINELOADER" "$BUILD/tools/kelvo_standin_viewer.exe" "$login" >"$E2E_DIR/viewer.log" 2>&1) &
E2E_PIDS+=("$!")
wid=$(e2e_find_window kelvo_standin_viewer 30)
e2e_check "viewer window" test -n "$wid"
e2e_wait_until "login page completes" 10 grep -qx "complete $login" "$KELVO_STANDIN_LOG"

# "Server 12" is the second line under the title: 44, 85 in the view, which fills the client area.
x=0 y=0
[ -n "$wid" ] && read -r x y _ _ < <(e2e_geometry "$wid")
sleep 0.5
e2e_screenshot "$E2E_DIR/login.png"
e2e_click $((x + 48)) $((y + 108))
e2e_poll 10 grep -q '^complete .*error.php' "$KELVO_STANDIN_LOG"
e2e_check "click recorded" grep -q '^mouse WM_LBUTTONUP ' "$KELVO_STANDIN_LOG"
e2e_check "link followed" grep -q "^navigate http://127.0.0.1:$PORT/games/kelvo/enter/error.php?uid=1001&serverid=12&" "$KELVO_STANDIN_LOG"
e2e_check "entry page completes" grep -q "^complete http://127.0.0.1:$PORT/games/kelvo/enter/error.php?.*serverid=12" "$KELVO_STANDIN_LOG"
e2e_check "portal served it" grep -q '^GET /games/kelvo/enter/error.php?.*serverid=12' "$E2E_DIR/portal.log"
grep -q '^complete .*error.php' "$KELVO_STANDIN_LOG" || cat "$KELVO_STANDIN_LOG"

kelvo_wineserver -k 2>/dev/null
e2e_finish

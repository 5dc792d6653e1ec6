#!/bin/bash
# The update's progress window end to end, with a launcher built with KELVO_UPDATE_PROGRESS: the
# portal sends the new launcher (about 1.5 MB) at 100 kB/s. The first run shows "正在更新" while the
# web view goes on to ask for the login page, and Escape cancels: no kelvo_new.exe, kelvo.exe byte for
# byte, no message, the launcher still running. A second run in the same directory lets the download
# end and installs the update as without the window.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
upd_init update_progress_e2e
e2e_register_standins
source "$KELVO_ROOT/scripts/lib/variant-build.sh"
kelvo_progress_build || exit 1
UPD_OLD=$KELVO_PROGRESS_EXE
upd_portal --fault exe-slow || exit 1

dir=$E2E_DIR/run
portal_log=$E2E_DIR/portal.log
count() { grep -c "^GET $1" "$portal_log"; }
title=正在更新
login_page=/games/kelvo/dlq/
absent() { [ ! -e "$1" ]; }
running() { kill -0 "$KELVO_PID" 2>/dev/null; }
shown() { e2e_window_titled "$title"; }

start=$(date +%s.%N)
upd_start "$dir"
window=$(e2e_find_window "$title" 60)
echo "progress window after $(upd_elapsed "$start") s"
e2e_check "the progress window is shown" test -n "$window"
e2e_wait_until "the login page is asked for during the download" 20 e2e_at_least 1 count "$login_page"
e2e_check "the download is still running then" shown
e2e_check "the body is arriving into kelvo_new.exe" test -e "$dir/kelvo_new.exe"

[ -n "$window" ] && e2e_key "$window" Escape
pressed=$(date +%s.%N)
e2e_poll 5 eval '! shown'
echo "window gone $(upd_elapsed "$pressed") s after Escape"
e2e_check "Escape closes the window" eval '! shown'
e2e_poll 2 absent "$dir/kelvo_new.exe"
e2e_check "kelvo_new.exe deleted" absent "$dir/kelvo_new.exe"
e2e_check "kelvo.exe kept byte for byte" upd_same "$dir/kelvo.exe" "$UPD_OLD"
e2e_check "nothing set aside" absent "$dir/kelvo_.exe"
boxes=$(upd_answer "kelvo 提示" 3)
e2e_check "no message (messages: $boxes)" test "$boxes" = 0
e2e_check "the launcher goes on" running
e2e_check "the executable was asked for once" test "$(count "$UPD_EXE_PATH")" = 1
upd_stop_in "$dir"
e2e_wait_exit "$KELVO_PID" 20

# Again, without Cancel: the download ends, the checks, the renames, the message and the restart
# follow as they do without the window.
start=$(date +%s.%N)
upd_start "$dir" kelvo.exe
e2e_check "the progress window is shown again" test -n "$(e2e_find_window "$title" 60)"
box=$(e2e_find_window "提示" 90)
echo "completion message after $(upd_elapsed "$start") s"
e2e_check "completion message shown" test -n "$box"
e2e_check "the window went with the download" eval '! shown'
e2e_check "kelvo.exe is the new launcher, byte for byte" upd_same "$dir/kelvo.exe" "$UPD_NEW"
e2e_check "kelvo_.exe is the old launcher" upd_same "$dir/kelvo_.exe" "$UPD_OLD"
e2e_check "the download took the name kelvo.exe" absent "$dir/kelvo_new.exe"
[ -n "$box" ] && e2e_key "$box" Return
e2e_wait_exit "$KELVO_PID" 30
e2e_check "old launcher ends after OK (status $E2E_STATUS)" test "$E2E_STATUS" = 0
e2e_wait_until "new launcher started and checked" 30 e2e_at_least 3 count "$UPD_MANIFEST"
upd_stop_in "$dir"
e2e_finish

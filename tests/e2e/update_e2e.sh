#!/bin/bash
# The self-update end to end: a 1001 launcher in a scratch current directory finds the 1002 one on
# the demo portal, puts it in place byte for byte, keeps the old one as kelvo_.exe, asks the user,
# restarts, and the new launcher removes kelvo_.exe and finds no newer version.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
upd_init update_e2e
upd_portal || exit 1

dir=$E2E_DIR/run
portal_log=$E2E_DIR/portal.log
count() { grep -c "^GET $1" "$portal_log"; }

start=$(date +%s.%N)
upd_start "$dir"
box=$(e2e_find_window "提示" 60)
echo "completion message after $(upd_elapsed "$start") s"
e2e_check "completion message shown" test -n "$box"
e2e_check "kelvo.exe is the new launcher, byte for byte" upd_same "$dir/kelvo.exe" "$UPD_NEW"
e2e_check "kelvo_.exe is the old launcher" upd_same "$dir/kelvo_.exe" "$UPD_OLD"
e2e_check "the download took the name kelvo.exe" test ! -e "$dir/kelvo_new.exe"
e2e_check "no manifest left behind" test ! -e "$dir/kelvoupdate.ini"
e2e_check "requests carry the tick suffix" grep -Eq "^GET $UPD_EXE_PATH\?-?[0-9]+$" "$portal_log"

[ -n "$box" ] && e2e_key "$box" Return
e2e_wait_exit "$KELVO_PID" 30
e2e_check "old launcher ends after OK (status $E2E_STATUS)" test "$E2E_STATUS" = 0

e2e_wait_until "new launcher started and checked" 30 e2e_at_least 2 count "$UPD_MANIFEST"
e2e_check "new launcher runs from the directory" test -n "$(upd_pids_in "$dir")"
boxes=$(upd_answer "提示" 4)
e2e_check "new launcher finds no newer version (messages: $boxes)" test "$boxes" = 0
e2e_check "the executable was fetched once" test "$(count "$UPD_EXE_PATH")" = 1
if [ -e "$dir/kelvo_.exe" ]; then
    # The old process still held its file when the new one started; the next start removes it.
    echo "kelvo_.exe still held at the new launcher's start"
    upd_stop_in "$dir"
    sleep 1
    upd_start "$dir" kelvo.exe
    e2e_poll 30 e2e_at_least 3 count "$UPD_MANIFEST"
    sleep 1
fi
e2e_check "kelvo_.exe removed at start" test ! -e "$dir/kelvo_.exe"
e2e_check "each launcher asked for its architecture's manifest only (${UPD_MANIFEST##*/})" \
    test "$(count "$UPD_OTHER_MANIFEST")" = 0
e2e_check "kelvo.exe still the new launcher" upd_same "$dir/kelvo.exe" "$UPD_NEW"
upd_stop_in "$dir"
e2e_finish

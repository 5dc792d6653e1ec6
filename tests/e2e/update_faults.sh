#!/bin/bash
# The self-update's fault matrix end to end, first what the server answers: each fault the portal
# injects must end with a complete launcher in place (the old or the new one, never a truncated one).
# One line per case: what the launcher did and how long each download took. update_files_e2e.sh and
# update_signed_e2e.sh hold the rest of the matrix.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
source "$(dirname "$0")/update_cases_lib.sh"
upd_init update_faults

# The status faults: the one message, nothing moved, the login goes on.
for fault in ${UPD_STATUS_FAULTS:-manifest-404 manifest-500 exe-404 exe-500}; do
    case $fault in manifest-*) n=1 ;; *) n=2 ;; esac
    begin "$fault" $n --fault "$fault"
    upd_start "$dir"
    watch 30 1
    check "expected one failure message" test "$UPD_FAIL_BOXES" = 1
    check "completion message shown" test "$UPD_DONE_BOXES" = 0
    check "old launcher not in place" old_in_place
    check "kelvo_.exe left" absent "$dir/kelvo_.exe"
    check "kelvo_new.exe written" absent "$dir/kelvo_new.exe"
    check "launcher stopped" running
    end "old launcher kept, login goes on"
done

# Bodies that end early, and answers with 200 that are no launcher for this build (an HTML page, a
# body cut short without a length, the other architecture, zeroes): nothing installed, no message,
# no restart, the old launcher in place byte for byte and the login going on.
for fault in exe-drop exe-short exe-html exe-cut exe-other-arch exe-zeroes; do
    begin "$fault" 2 --fault "$fault"
    upd_start "$dir"
    watch 30
    check_failed_quietly
    end "old launcher kept, kelvo_new.exe left with $(stat -c %s "$dir/kelvo_new.exe" 2>/dev/null || echo no) of $(stat -c %s "$UPD_NEW") bytes"
done

# A server that accepts and never answers: the receive timeout (15 s) ends the wait long before
# the portal lets go of the connection (60 s).
begin hang 1 --fault hang --hang-seconds 60
upd_start "$dir"
watch 50
check "a message was shown" no_message
hang_seconds=$(upd_downloads "$dir.log" | head -1 | cut -d' ' -f1)
check "the wait did not end by the receive timeout (${hang_seconds:-none} s)" \
    awk -v s="${hang_seconds:-99}" 'BEGIN { exit !(s >= 10 && s < 30) }'
check "old launcher not in place" old_in_place
check "manifest written" absent "$dir/kelvoupdate.ini"
check "launcher stopped" running
end "request unanswered, given up after the receive timeout, old launcher kept"

# Nobody listens on the resource port.
begin closed-port 1 none
upd_start "$dir"
watch 30
check "a message was shown" no_message
check "old launcher not in place" old_in_place
check "manifest written" absent "$dir/kelvoupdate.ini"
end "no connection, no message"

begin exe-closed-port 2 --download-url "http://127.0.0.1:18699$UPD_EXE_PATH"
upd_start "$dir"
watch 30
check "a message was shown" no_message
check "old launcher not in place" old_in_place
check "kelvo_new.exe written" absent "$dir/kelvo_new.exe"
end "executable's port closed, no message"

# An https address goes over TLS: the plain portal never sees a GET for it.
begin exe-https 2 --download-url "https://127.0.0.1:$UPD_PORT$UPD_EXE_PATH"
upd_start "$dir"
watch 30
check "a message was shown" no_message
check "the portal saw a plain GET" test "$(exes)" = 0
check "old launcher not in place" old_in_place
end "TLS handshake refused by the plain portal, old launcher kept"

e2e_finish

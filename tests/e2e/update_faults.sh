#!/bin/bash
# The self-update's fault matrix end to end: each fault the portal injects, and each way the files
# can resist, must end with a complete launcher in place (the old or the new one, never a truncated
# one). One line per case: what the launcher did and how long each download took.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
upd_init update_faults

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

# A read-only directory: the manifest cannot be written, so nothing happens.
begin read-only-dir 1
mount -t tmpfs -o size=16m tmpfs "$dir" && RO_MOUNT=$dir
cp "$UPD_OLD" "$dir/kelvo.exe"
mount -o remount,ro "$dir"
upd_start "$dir" kelvo.exe
watch 30
check "a message was shown" no_message
check "manifest not requested" test "$(manifests)" = 1
check "old launcher not in place" old_in_place
check "launcher stopped" running
end "manifest fetched but not writable, old launcher kept"

# Started from elsewhere: no kelvo.exe in the current directory, the new one takes the name.
begin missing-kelvo 2
mkdir -p "$dir/bin"
cp "$UPD_OLD" "$dir/bin/kelvo.exe"
upd_start "$dir" "$(kelvo_wine winepath.exe -w "$dir/bin/kelvo.exe" 2>/dev/null | tr -d '\r')"
watch 30 1
check "expected the completion message" test "$UPD_DONE_BOXES" = 1
check "new launcher not in place" upd_same "$dir/kelvo.exe" "$UPD_NEW"
check "kelvo_.exe made" absent "$dir/kelvo_.exe"
check "new launcher not started" e2e_poll 20 e2e_at_least 2 manifests
end "kelvo.exe created from the download, new launcher started"

# kelvo_.exe held by another process: neither rename can succeed; no message, no restart.
begin held-previous 2
cp "$UPD_OLD" "$dir/kelvo.exe"
cp "$UPD_OLD" "$dir/kelvo_.exe"
hold "$dir/kelvo_.exe" keep
upd_start "$dir" kelvo.exe
watch 30
check "a message was shown" no_message
check "old launcher not in place" old_in_place
check "kelvo_new.exe incomplete" upd_same "$dir/kelvo_new.exe" "$UPD_NEW"
check "restarted" test "$(manifests)" = 1
check "launcher stopped" running
end "kelvo_.exe undeletable, old launcher kept, complete kelvo_new.exe left"

# Another program keeps kelvo_new.exe open for writing: the download cannot be held against it, so
# it is never checked or moved, and kelvo.exe is not moved aside either. (The old launcher's return
# after a failed second rename is the native flow test's.)
begin failing-second-rename 2
cp "$UPD_OLD" "$dir/kelvo.exe"
hold "$dir/kelvo_new.exe" norename
upd_start "$dir" kelvo.exe
watch 30
check_failed_quietly "old launcher not back in place"
end "download held open by a writer, nothing moved, no message, no restart"

# Bounds. A manifest without end stops at 64 KiB and takes the failed fetch's path; an executable
# without end stops at 256 MiB (the unsigned launcher, whose deadline is 5 minutes, so the size bound
# is what ends it). Neither leaves a file or a message.
bounded() { grep -q "kelvo update: download stopped at its size or time bound" "$dir.log"; }
begin manifest-endless 1 --fault manifest-endless
upd_start "$dir"
watch 60
check "a message was shown" no_message
check "not stopped at a bound" bounded
check "manifest left" absent "$dir/kelvoupdate.ini"
check "executable requested" test "$(exes)" = 0
check "old launcher not in place" old_in_place
check "launcher stopped" running
end "manifest stopped at 64 KiB, no update, login goes on"

begin exe-endless 2 --fault exe-endless
upd_start "$dir"
watch 180
check_failed_quietly
check "not stopped at a bound" bounded
check "kelvo_new.exe left" absent "$dir/kelvo_new.exe"
end "executable stopped at 256 MiB and removed"

# Signed updates: the 1001 launcher built with the publisher's public key installs the 1002 one only
# when the manifest signs its version and bytes with that key. Every other signature is refused
# quietly: the old launcher byte for byte, kelvo_new.exe gone, one debug line saying why.
upd_signed_init
UPD_UNSIGNED=$UPD_OLD
UPD_OLD=$UPD_SIGNED
good=$(upd_sign "$UPD_KEY" "$UPD_NEW" 1002)

# scripts/sign-update signs only what a launcher can install and keep installing: the signed build
# as its own version with its own key. Every other file gets no Signature line and a sentence why.
# key | file | version | what it says
while IFS='|' read -r -u 3 key file version says; do
    out=$("$KELVO_ROOT/scripts/sign-update" "$key" "$file" "$version" 2>&1)
    status=$?
    if [ -z "$says" ]; then
        e2e_check "sign-update signs ${file##*/} as $version" test "$status" = 0 -a -n "$(echo "$out" | grep '^Signature=')"
    else
        e2e_check "sign-update refuses ${file##*/} as $version: $says" \
            eval '[ "$status" != 0 ] && ! echo "$out" | grep -q "^Signature=" && echo "$out" | grep -q "$says"'
    fi
done 3<<CASES
$UPD_KEY|$UPD_SIGNED|1001|
$UPD_KEY|$UPD_SIGNED|1002|is version 1001, not 1002
$UPD_OTHER_KEY|$UPD_SIGNED|1001|was built with the key
$UPD_KEY|$UPD_NEW|1002|was built without an update key
$UPD_KEY|$UPD_HOLD|1001|is not a kelvo.exe
CASES
refused() { grep -q "kelvo update refused: $1" "$dir.log"; }
# The 1002 launcher in place, byte for byte, and started.
check_installed() {
    check "expected the completion message" test "$UPD_DONE_BOXES" = 1
    check "new launcher not in place" upd_same "$dir/kelvo.exe" "$UPD_NEW"
    check "new launcher not started" e2e_poll 20 e2e_at_least 2 manifests
}

begin signed-good 2 --signature "$good"
upd_start "$dir"
watch 30 1
check_installed
check "a refusal was logged" eval '! refused ""'
end "signature verified, new launcher installed and started"

# name | downloads | the manifest's Signature ("-" for none) | the debug line's reason. A signature
# that cannot be one is refused before the executable is fetched (one download, the manifest's).
short=$(printf '%s' "$good" | openssl base64 -d -A | head -c 63 | openssl base64 -A)
while IFS='|' read -r -u 3 name n signature reason; do
    [ "$signature" = - ] && set -- || set -- --signature "$signature"
    begin "$name" "$n" "$@"
    upd_start "$dir"
    watch 30
    check_failed_quietly
    check "kelvo_new.exe left" absent "$dir/kelvo_new.exe"
    check "no debug line: $reason" refused "$reason"
    [ "$n" = 1 ] && check "the executable was fetched" test "$(exes)" = 0
    end "refused: $reason"
done 3<<CASES
signed-none|1|-|the manifest carries no Signature
signed-other-version|2|$(upd_sign "$UPD_KEY" "$UPD_NEW" 1003)|the Signature does not match
signed-other-file|2|$(upd_sign "$UPD_KEY" "$UPD_UNSIGNED" 1002)|the Signature does not match
signed-other-key|2|$(upd_sign "$UPD_OTHER_KEY" "$UPD_NEW" 1002)|the Signature does not match
signed-malformed|1|${good:0:40}*${good:41}|the Signature is not base64
signed-wrong-length|1|$short|the Signature is not 64 bytes
CASES

# A trickle, one byte a second, never trips the receive timeout; the deadline ends it (20 s in the
# signed test build; the release's is 5 minutes).
begin exe-trickle 2 --fault exe-trickle --signature "$good"
upd_start "$dir"
watch 60
check_failed_quietly
check "not stopped at a bound" bounded
trickle_seconds=$(upd_downloads "$dir.log" | sed -n 2p | cut -d' ' -f1)
check "the download did not end at its deadline (${trickle_seconds:-none} s)" \
    awk -v s="${trickle_seconds:-99}" 'BEGIN { exit !(s >= 19 && s < 40) }'
check "kelvo_new.exe left" absent "$dir/kelvo_new.exe"
end "executable trickling, given up at the deadline and removed"

# A build without a key ignores the Signature key and installs as before.
UPD_OLD=$UPD_UNSIGNED
begin unsigned-with-signature 2 --signature "$(upd_sign "$UPD_OTHER_KEY" "$UPD_NEW" 1002)"
upd_start "$dir"
watch 30 1
check_installed
end "unsigned build installs, the Signature unread"

e2e_finish

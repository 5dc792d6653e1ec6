#!/bin/bash
# The self-update's fault matrix end to end for a signed build: only what the publisher signed for
# this version is installed, and each refusal leaves a complete old launcher in place. One line per
# case: what the launcher did and how long each download took.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
source "$(dirname "$0")/update_cases_lib.sh"
upd_init update_signed_e2e

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

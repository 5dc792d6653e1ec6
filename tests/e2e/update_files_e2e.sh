#!/bin/bash
# The self-update's fault matrix end to end, where the files resist and where a body has no end: each
# case must end with a complete launcher in place (the old or the new one, never a truncated one).
# One line per case: what the launcher did and how long each download took.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
source "$(dirname "$0")/update_cases_lib.sh"
upd_init update_files_e2e

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

e2e_finish

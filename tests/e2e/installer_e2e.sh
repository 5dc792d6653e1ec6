#!/bin/bash
# The release's setup program under Wine, in a fresh prefix of its own:
# 1. a silent install puts the launcher, its two shortcuts (working folder: the install folder) and
#    its Uninstall key in place;
# 2. the installed launcher, started as its shortcut starts it, shows the login page, and an offered
#    update replaces kelvo.exe inside the install folder;
# 3. a second setup, started while the updated launcher runs, waits for it to end, then upgrades in
#    place;
# 4. a silent uninstall removes what the setup and the update made, keeps a file of the player's and
#    the folder with it, and removes the key and the shortcuts; with no such file the folder goes too.
# 5. a folder that holds another program's files gets a Kelvo folder inside it (/D= as on the page);
# 6. of two installs in different folders, the uninstaller of the one the key does not name leaves
#    the key and the shortcuts to the other.
# The releases are Authenticode-signed with a certificate made here: the setup program, the
# archive's kelvo.exe, the installed one and the one the update installs pass osslsigncode verify.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"
source "$KELVO_ROOT/scripts/lib/package.sh"
# Shortcuts made in a prefix must not become menu entries of the host's desktop.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winemenubuilder.exe=d"
unset WINEPREFIX
upd_init installer_e2e
trap 'kelvo_wineserver -k 2>/dev/null; e2e_cleanup' EXIT

# A fresh prefix links the user's Desktop to the host's home folder: give it one of its own.
profile=$(ls -d "$WINEPREFIX"/drive_c/users/* | grep -v '/Public$' | head -1)
if [ -L "$profile/Desktop" ]; then
    rm "$profile/Desktop" && mkdir "$profile/Desktop"
fi
e2e_register_standins

inst=$profile/AppData/Local/Programs/Kelvo
win_inst=$(kelvo_wine winepath.exe -w "$inst" 2>/dev/null | tr -d '\r')
links=("$profile/Desktop/Kelvo.lnk" "$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kelvo.lnk")
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo'
company='Kelvo $Games Ltd'

# A code-signing certificate of a test publisher, as scripts/package --authenticode takes it.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kelvo Test Publisher" \
    -addext extendedKeyUsage=codeSigning -keyout "$E2E_DIR/cert-key.pem" -out "$E2E_DIR/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -in "$E2E_DIR/cert.pem" -inkey "$E2E_DIR/cert-key.pem" -passout pass:test-password \
        -out "$E2E_DIR/publisher.pfx" || exit 1
export KELVO_AUTHENTICODE_PASSWORD=test-password
authenticode_ok() { osslsigncode verify -CAfile "$E2E_DIR/cert.pem" -in "$1" >/dev/null 2>&1; }
cp "$UPD_OLD" "$E2E_DIR/kelvo-1001.exe"
UPD_OLD=$E2E_DIR/kelvo-1001.exe
kelvo_authenticode "$UPD_OLD" "$E2E_DIR/publisher.pfx" || exit 1

# Two releases: 1001 (signed), and 1002 with a Flash control beside it. The portal serves the 1002
# launcher signed, so that it differs from the packaged one and the upgrade is seen to replace the
# update's file.
kelvo_make_setup "$KELVO_ARCH" "$UPD_OLD" 1001 "$company" "$E2E_DIR/setup-1001.exe" || exit 1
kelvo_authenticode "$E2E_DIR/setup-1001.exe" "$E2E_DIR/publisher.pfx" || exit 1
kelvo_make_setup "$KELVO_ARCH" "$UPD_NEW" 1002 "$company" "$E2E_DIR/setup-1002.exe" \
    "$KELVO_BUILD/tools/kelvo_standins.dll" || exit 1
# A 32-bit setup program cannot start where the kernel refuses 32-bit code.
e2e_check "the setup program is a $KELVO_ARCH program" kelvo_check_pe "$KELVO_ARCH" "$E2E_DIR/setup-1001.exe"
e2e_check "the setup program's Authenticode signature verifies" authenticode_ok "$E2E_DIR/setup-1001.exe"
kelvo_make_zip "$UPD_OLD" "$E2E_DIR/kelvo-1001.zip" || exit 1
python3 -m zipfile -e "$E2E_DIR/kelvo-1001.zip" "$E2E_DIR/unzipped"
e2e_check "the archive's kelvo.exe Authenticode signature verifies" authenticode_ok "$E2E_DIR/unzipped/Kelvo/kelvo.exe"
packaged_new=$UPD_NEW
UPD_NEW=$E2E_DIR/served.exe
cp "$packaged_new" "$UPD_NEW"
kelvo_authenticode "$UPD_NEW" "$E2E_DIR/publisher.pfx" || exit 1

reg_value() { kelvo_wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^    $1    REG_[A-Z]*    //p"; }
# Every value the key must hold, as "name<tab>value".
check_key() {
    local version=$1 name want got
    while IFS=$'\t' read -r name want; do
        got=$(reg_value "$name")
        e2e_check "key $name is '$want' (got '$got')" test "$got" = "$want"
    done <<EOT
DisplayName	Kelvo
DisplayVersion	$version
Publisher	$company
DisplayIcon	$win_inst\\kelvo.exe,0
InstallLocation	$win_inst
UninstallString	"$win_inst\\uninstall.exe"
EOT
    local size
    size=$(($(reg_value EstimatedSize)))
    e2e_check "key EstimatedSize ($size KB) holds kelvo.exe" test "$size" -ge $(($(stat -c %s "$inst/kelvo.exe") / 1024))
}
check_links() {
    local lnk got
    for lnk in "${links[@]}"; do
        got=$(python3 "$KELVO_ROOT/tests/e2e/shell_link.py" "$lnk")
        e2e_check "$(basename "$(dirname "$lnk")") shortcut starts kelvo.exe in the install folder ($got)" \
            test "$got" = "$win_inst\\kelvo.exe"$'\t'"$win_inst"
    done
}
key_absent() { ! kelvo_wine reg query "$key" >/dev/null 2>&1; }
# The Windows programs of this prefix other than Wine's own (system32). Wine's services end after
# the last program, but in a network namespace they have been seen to stay (winedevice.exe busy),
# and `wineserver -w` then waits for good; so the script waits for the programs it started.
programs() {
    local pid
    for pid in $(pgrep -f '^[A-Za-z]:\\'); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        case "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" in 'C:\windows\system32\'*) continue ;; esac
        echo "$pid"
    done
}
programs_ended() { [ -z "$(programs)" ]; }
# The uninstaller copies itself away and returns at once; its copy removes the key last.
uninstall() {
    kelvo_wine "$win_inst\\uninstall.exe" /S
    e2e_poll 30 key_absent
    e2e_poll 60 programs_ended
}

echo "== 1. silent install"
kelvo_wine "$E2E_DIR/setup-1001.exe" /S
status=$?
e2e_check "setup ends with status 0 (got $status)" test "$status" = 0
e2e_check "kelvo.exe installed in the default folder" upd_same "$inst/kelvo.exe" "$UPD_OLD"
e2e_check "uninstaller installed" test -f "$inst/uninstall.exe"
e2e_check "the installed kelvo.exe Authenticode signature verifies" authenticode_ok "$inst/kelvo.exe"
e2e_check "no flash.ocx without one in the package" test ! -e "$inst/flash.ocx"
check_links
check_key 1001

echo "== 2. the installed launcher, started as its shortcut starts it"
upd_portal || exit 1
IFS=$'\t' read -r target workdir < <(python3 "$KELVO_ROOT/tests/e2e/shell_link.py" "${links[0]}")
upd_start "$(kelvo_wine winepath.exe -u "$workdir" 2>/dev/null | tr -d '\r')" "$target"
box=$(e2e_find_window "提示" 60)
e2e_check "update completion message shown" test -n "$box"
e2e_check "login page shows" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^complete http://127\.0\.0\.1:18601/games/kelvo/dlq/$' 30
e2e_check "the update replaced kelvo.exe in the install folder" upd_same "$inst/kelvo.exe" "$UPD_NEW"
e2e_check "the old launcher moved aside in the install folder" upd_same "$inst/kelvo_.exe" "$UPD_OLD"
# Wine may have given the message box another X window while the page loaded: answer each.
upd_answer "提示" 3 >/dev/null
e2e_wait_exit "$KELVO_PID" 30
e2e_check "the old launcher ends after OK (status $E2E_STATUS)" test "$E2E_STATUS" = 0
manifests() { grep -c "^GET $UPD_MANIFEST" "$E2E_DIR/portal.log"; }
e2e_wait_until "the new launcher asks for the manifest" 30 e2e_at_least 2 manifests
e2e_check "the new launcher started in the install folder" test -n "$(upd_pids_in "$inst")"
e2e_check "the update installed a signed kelvo.exe" authenticode_ok "$inst/kelvo.exe"
displayed() { test "$(reg_value DisplayVersion)" = "$1"; }
e2e_wait_until "the updated launcher shows its version in the key" 30 displayed 1002
check_key 1002
echo "my notes" >"$inst/notes.txt"

echo "== 3. install again while the launcher runs"
# Wine's file channel shows the setup's opens of kelvo.exe for writing that the running launcher
# refuses: a second refusal is the sign that the setup is in its wait, not merely slow to start.
WINEDEBUG=-all,warn+file "$WINELOADER" "$E2E_DIR/setup-1002.exe" /S 2>"$E2E_DIR/setup-1002.log" &
setup=$!
refused_opens() { grep -cE 'Unable to create file L"[^"]*\\kelvo\.exe"' "$E2E_DIR/setup-1002.log"; }
e2e_wait_until "setup finds kelvo.exe in use and tries again" 30 e2e_at_least 2 refused_opens
e2e_check "setup waits while the launcher runs" kill -0 "$setup"
e2e_check "kelvo.exe untouched while it runs" upd_same "$inst/kelvo.exe" "$UPD_NEW"
upd_stop_in "$inst"
e2e_wait_exit "$setup" 30
e2e_check "setup ends with status 0 once the launcher has ended (got $E2E_STATUS)" test "$E2E_STATUS" = 0
e2e_check "kelvo.exe upgraded in place" upd_same "$inst/kelvo.exe" "$packaged_new"
e2e_check "flash.ocx installed beside it" upd_same "$inst/flash.ocx" "$KELVO_BUILD/tools/kelvo_standins.dll"
e2e_check "the old launcher left by the update is gone" test ! -e "$inst/kelvo_.exe"
e2e_check "the player's file kept" test -f "$inst/notes.txt"
check_links
check_key 1002

echo "== 4. silent uninstall"
# What an interrupted update leaves, besides what the setup and the update made.
for f in kelvo_.exe kelvo_new.exe kelvoupdate.ini; do echo leftover >"$inst/$f"; done
uninstall
for f in kelvo.exe kelvo_.exe kelvo_new.exe kelvoupdate.ini flash.ocx uninstall.exe "${links[@]}"; do
    case "$f" in /*) ;; *) f=$inst/$f ;; esac
    e2e_check "removed: ${f#"$profile"/}" test ! -e "$f"
done
e2e_check "the player's file and the folder kept" test -f "$inst/notes.txt"
e2e_check "key removed" key_absent
rm "$inst/notes.txt"
kelvo_wine "$E2E_DIR/setup-1001.exe" /S
uninstall
e2e_check "an emptied install folder is removed" test ! -e "$inst"

echo "== 5. a folder that holds another program"
games=$profile/Games
mkdir -p "$games"
echo "another program" >"$games/other.exe"
echo "another program's uninstaller" >"$games/uninstall.exe"
win_games=$(kelvo_wine winepath.exe -w "$games" 2>/dev/null | tr -d '\r')
kelvo_wine "$E2E_DIR/setup-1001.exe" /S "/D=$win_games"
e2e_check "the launcher went into a Kelvo folder inside it" upd_same "$games/Kelvo/kelvo.exe" "$UPD_OLD"
e2e_check "no kelvo.exe beside the other program" test ! -e "$games/kelvo.exe"
e2e_check "the other program's uninstall.exe untouched" \
    test "$(cat "$games/uninstall.exe")" = "another program's uninstaller"
e2e_check "the key names the Kelvo folder" test "$(reg_value InstallLocation)" = "$win_games\\Kelvo"
kelvo_wine "$win_games\\Kelvo\\uninstall.exe" /S
e2e_poll 30 key_absent
e2e_poll 60 programs_ended
e2e_check "the other program's files stay" test -f "$games/other.exe" -a -f "$games/uninstall.exe"
e2e_check "the Kelvo folder removed" test ! -e "$games/Kelvo"

echo "== 6. two installs in different folders"
second=$profile/Kelvo2
win_second=$(kelvo_wine winepath.exe -w "$second" 2>/dev/null | tr -d '\r')
kelvo_wine "$E2E_DIR/setup-1001.exe" /S
e2e_check "the first install went to the default folder" upd_same "$inst/kelvo.exe" "$UPD_OLD"
kelvo_wine "$E2E_DIR/setup-1002.exe" /S "/D=$win_second"
e2e_check "the second install went to its folder" upd_same "$second/kelvo.exe" "$packaged_new"
e2e_check "the key names the second install" test "$(reg_value InstallLocation)" = "$win_second"
# The first install's uninstaller: its own files go, the live install's key and shortcuts stay.
kelvo_wine "$win_inst\\uninstall.exe" /S
e2e_poll 30 test ! -e "$inst/kelvo.exe"
e2e_poll 60 programs_ended
e2e_check "the first install's files removed" test ! -e "$inst/kelvo.exe"
e2e_check "the key still names the second install" test "$(reg_value InstallLocation)" = "$win_second"
for lnk in "${links[@]}"; do
    e2e_check "$(basename "$(dirname "$lnk")") shortcut kept for the second install" \
        test "$(python3 "$KELVO_ROOT/tests/e2e/shell_link.py" "$lnk" | cut -f1)" = "$win_second\\kelvo.exe"
done
kelvo_wine "$win_second\\uninstall.exe" /S
e2e_poll 30 key_absent
e2e_poll 60 programs_ended
e2e_check "the second install's uninstaller removes the key" key_absent
for lnk in "${links[@]}"; do
    e2e_check "removed: ${lnk#"$profile"/}" test ! -e "$lnk"
done
e2e_finish

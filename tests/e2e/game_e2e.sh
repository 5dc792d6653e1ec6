#!/bin/bash
# The road of a game entry with the real kelvo.exe under Wine, the browser stand-in and the demo
# portal: a click on a server in the login page opens the game window on the work area and hides
# the login side; F5 re-enters through the portal; the settings menu shows its two items and its
# clear-cache item starts the history cleaning (the system folder's rundll32.exe, never the one in
# the current directory); the window hides to the notification area and
# comes back; closing asks the leave-game question, No keeps the game, Yes brings the login page
# back. The movie's calls on the way: the loader movie named by the entry is fetched, its
# "setReloadTips" is traced on the debug output channel and sets the leave question; server 13's
# movie calls "reload" three times and one re-entry follows, about 200 ms after the last. The
# program then ends with status 0, and none of the empty wininet, bcrypt and gdiplus libraries
# planted beside it was ever loaded. Screenshots of each stage go to $E2E_SHOTS (out/e2e), game-*.png.
#
# With --flash-copy the Flash class id is not registered in the prefix: the Flash stand-in is only
# a copy beside kelvo.exe named flash.ocx, which the launcher uses without registration (its debug
# output says so), and the whole road is the same (shots in out/e2e/flash-copy by default).
source "$(dirname "$0")/lib.sh"
flash_copy=
[ "${1:-}" = --flash-copy ] && flash_copy=1
e2e_init "game_e2e${flash_copy:+_flash_copy}"
if [ -n "$flash_copy" ]; then
    e2e_register_standins --copy "$E2E_DIR/run"
    flash_unregistered() {
        ! kelvo_wine reg query 'HKLM\Software\Classes\CLSID\{D27CDB6E-AE6D-11CF-96B8-444553540000}' \
            "$KELVO_REG_VIEW" >/dev/null 2>&1
    }
    e2e_check "the Flash class id is not registered in the prefix" flash_unregistered
else
    e2e_register_standins
fi
e2e_start_portal --port 18601
shots=${E2E_SHOTS:-$KELVO_ROOT/out/e2e${flash_copy:+/flash-copy}}
mkdir -p "$shots"

# The history cleaning runs the system folder's rundll32.exe: a recorder takes its place there
# until the test ends and writes its command line to links.txt beside itself. Another recorder of
# that name lies in the current directory, beside the program, and must never be started. Wine
# runs its own rundll32 unless told to take the file it finds.
mkdir -p "$E2E_DIR/run"
system_dir=$WINEPREFIX/drive_c/windows/system32
cp "$system_dir/rundll32.exe" "$E2E_DIR/rundll32.exe.wine" || exit 1
trap 'cp "$E2E_DIR/rundll32.exe.wine" "$system_dir/rundll32.exe"; rm -f "$system_dir/links.txt"; e2e_cleanup' EXIT
cp "$KELVO_BUILD/tools/kelvo_urlrecorder.exe" "$system_dir/rundll32.exe"
rm -f "$system_dir/links.txt"
cp "$KELVO_BUILD/tools/kelvo_urlrecorder.exe" "$E2E_DIR/run/rundll32.exe"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}rundll32.exe=n"
# Empty libraries under the names of system libraries that are not protected everywhere, beside
# the program and in its current directory, preferred to Wine's own: each leaves a mark when it is
# loaded. (With the copy beside kelvo.exe, the Flash control's own folder is the publisher's.)
if [ -z "$flash_copy" ]; then
    for dll in wininet bcrypt gdiplus; do
        cp "$KELVO_BUILD/planted/kelvo_planted_library.dll" "$E2E_DIR/run/$dll.dll"
    done
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wininet,bcrypt,gdiplus=n,b"
fi
# The menu's and the question's Chinese text (a prefix made before the font link lacks it).
kelvo_link_cjk_font

# Top-level windows titled exactly TITLE that are shown: one "ID X Y W H" line each. Fails when the
# X server gave no answer (a listing that failed or ran out of time, a window query that ran out of
# time), so that "no such window" is never read from a query that did not answer.
shown_windows() {
    local id list info status
    list=$(xwininfo -root -children 2>/dev/null) || return 1
    for id in $(awk -v t="\"$1\":" '$2 == t { print $1 }' <<<"$list"); do
        info=$(xwininfo -id "$id" 2>/dev/null)
        status=$?
        # 124: timed out; any other failure: the window went meanwhile.
        [ "$status" -eq 124 ] && return 1
        [ "$status" -eq 0 ] && grep 'Map State: IsViewable' >/dev/null <<<"$info" && echo "$id $(e2e_geometry "$id")"
    done
    return 0
}
# Succeeds when a shown window titled TITLE has (want "is") or has not (want "not") the size
# W x H; its line is then in $window_line.
window_sized() {
    window_line=$(shown_windows "$1" | awk -v w="$2" -v h="$3" -v want="$4" \
        '(($4 == w && $5 == h) == (want == "is")) { print; exit }')
    [ -n "$window_line" ]
}
# The shown window titled TITLE whose size is (or, with "not", is not) W x H, within SECS seconds.
wait_window() { e2e_poll "$4" window_sized "$1" "$2" "$3" "$5" && echo "$window_line"; }
wait_window_sized() { wait_window "$1" "$2" "$3" "${4:-20}" is; }
# The question box beside the game window.
wait_window_not_sized() { wait_window "$1" "$2" "$3" "${4:-20}" not; }
count_shown() { shown_windows "$1" | wc -l; }
# Succeeds when exactly N shown windows are titled TITLE, as the X server answered.
shown_count_is() {
    local lines
    lines=$(shown_windows "$2") || return 1
    [ "$(grep -c . <<<"$lines")" = "$1" ]
}
# Succeeds when no shown window titled TITLE has the size W x H, as the X server answered.
no_window_sized() {
    local lines
    lines=$(shown_windows "$1") || return 1
    ! awk -v w="$2" -v h="$3" '$4 == w && $5 == h { found = 1 } END { exit !found }' <<<"$lines"
}
# A caption-button click: enter the button, press, and the first move after the press acts.
caption_click() {
    xdotool mousemove "$1" "$2"
    sleep 0.3
    xdotool click 1
    sleep 0.3
    xdotool mousemove "$1" $(($2 + 1))
    sleep 0.5
}

# The bridge's trace goes to the debug output channel, which this Wine writes to kelvo.log as
# warnings of its "seh" channel ("OutputDebugStringA" lines).
WINEDEBUG=-all,warn+seh e2e_start_kelvo "$E2E_DIR/run"
frame=$(e2e_find_window Kelvo 60)
e2e_check "frame shown" test -n "$frame"
e2e_check "login page completes" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^complete http://127\.0\.0\.1:18601/games/kelvo/dlq/$' 30
# The window system may replace the frame's first window while it starts: the frame is the shown
# window of the picture's size once the login page is there.
read -r frame fx fy _ <<<"$(wait_window_sized Kelvo 1155 625 10)"
sleep 1
e2e_screenshot "$shots/game-1-login.png"

# "Server 12" lies at (44, 85) of the page view, which is at (407, 184) of the frame.
entered() { # server seconds
    e2e_wait_line "$E2E_STANDIN_LOG" "^complete http://127\\.0\\.0\\.1:18601/games/kelvo/enter/error\\.php\\?uid=1001&serverid=$1&" "$2"
}
# Clicks a server's link (server 12 on the first line, 13 below it) until its entry completes: a
# click that arrives before the page is drawn finds no link.
enter_server() {
    local try
    for ((try = 0; try < 3; try++)); do
        e2e_click $((fx + 407 + 48)) $((fy + 184 + 88 + ($1 - 12) * 20))
        entered "$1" 10 && return 0
    done
    return 1
}
enter_server 12
e2e_check "game-entry page completes" entered 12 1
read -r sw sh <<<"$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')"
game_line=$(wait_window_sized Kelvo "$sw" "$sh" 20)
e2e_check "game window fills the work area: $game_line" test -n "$game_line"
read -r game gx gy gw gh <<<"$game_line"
e2e_check "game window at the origin" test "${gx:-x}.${gy:-x}" = 0.0
e2e_check "frame and login dialog hidden (shown Kelvo windows: $(count_shown Kelvo))" shown_count_is 1 Kelvo
e2e_check "web view sent back to the login page" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^navigate http://127\.0\.0\.1:18601/games/kelvo/dlq/$' 10
movie='GET /front_resource/kelvo/GameLoader_1001.swf'
e2e_check "the loader movie named by the entry is fetched" e2e_wait_line "$E2E_DIR/portal.log" "^$movie\$" 10
# The demo movie sets its own leave question after a pause; the call is traced.
e2e_check "the movie calls setReloadTips" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^FlashCall <invoke name="setReloadTips"' 15
traced() { grep -qF "$1" "$E2E_DIR/run/kelvo.log"; }
if [ -n "$flash_copy" ]; then
    e2e_check "the launcher says it uses the copy beside it" traced 'Flash control: using '
    run_win=$(kelvo_wine winepath.exe -w "$E2E_DIR/run" 2>/dev/null | tr -d '\r')
    e2e_check "the stand-in records that it was loaded from $run_win\\flash.ocx" \
        grep -qixF "flash module $run_win\\flash.ocx" "$E2E_STANDIN_LOG"
fi
e2e_check "trace: the request" traced '<invoke name=\"setReloadTips\" returntype=\"xml\">'
e2e_check "trace: the invoke element" traced 'Tag(invoke) = '
e2e_check "trace: its attribute names" traced '"returntype"'
e2e_check "trace: the argument's element" traced 'Tag(string) = '
sleep 1
e2e_screenshot "$shots/game-2-game.png"

# F5 with the focus in the game: the portal sees exactly the re-entry request, the new entry
# address completes and is handed off again (web view reset, movie loaded from the new query).
# Two more presses, with no click in between: the keyboard stays with the game across a reload.
xdotool mousemove $((gw / 2)) $((gh / 2))
sleep 0.3
xdotool click 1
sleep 0.3
reentry='GET /games/dlq/togame.php?target=kelvo_553&server_id=12&client=2&login_game_for_general&refer='
reentries() { grep -cxF "$reentry" "$E2E_DIR/portal.log"; }
entries() { grep -c '^complete http://127\.0\.0\.1:18601/games/kelvo/enter/error\.php' "$E2E_STANDIN_LOG"; }
resets() { grep -c '^onbeforeunload $' "$E2E_STANDIN_LOG"; }
movie_loads() { grep -cxF "$movie" "$E2E_DIR/portal.log"; }
tips() { grep -c '^FlashCall <invoke name="setReloadTips"' "$E2E_STANDIN_LOG"; }
for press in 1 2 3; do
    xdotool key F5
    e2e_wait_until "F5 $press: the portal sees the re-entry request" 10 e2e_at_least "$press" reentries
    e2e_wait_until "F5 $press: the new entry is handed off again" 10 e2e_at_least $((press + 1)) resets
    e2e_wait_until "F5 $press: the movie is loaded again" 10 e2e_at_least $((press + 1)) movie_loads
    # The reloaded movie sets its question again before the next step.
    e2e_wait_until "F5 $press: the reloaded movie runs" 15 e2e_at_least $((press + 1)) tips
done
e2e_check "F5: three presses, three re-entries ($(reentries))" test "$(reentries)" = 3
e2e_check "F5: each handed off once ($(entries) entries, $(resets) resets)" test "$(resets)" = 4
e2e_check "F5: still one game window on the work area" test -n "$(wait_window_sized Kelvo "$sw" "$sh" 5)"
e2e_check "F5: the movie is loaded once per entry" test "$(movie_loads)" = 4

# The settings menu under its caption button; its clear-cache item starts the history cleaning.
caption_click $((gw - 108 + 14)) 14
sleep 1
e2e_screenshot "$shots/game-3-menu.png"
menu_line=$(xwininfo -root -children | awk '$2 == "(has" || $2 == "\"\":" { print $1 }' | while read -r id; do
    xwininfo -id "$id" 2>/dev/null | grep 'Map State: IsViewable' >/dev/null && echo "$id $(e2e_geometry "$id")"
done | awk -v x=$((gw - 108)) '$2 == x && $3 == 34 { print; exit }')
e2e_check "menu opens at (W - 108, 34): $menu_line" test -n "$menu_line"
read -r _ mx my mw mh <<<"$menu_line"
# The second item, "清空缓存".
e2e_click $((mx + mw / 2)) $((my + mh * 3 / 4))
e2e_poll 10 test -s "$system_dir/links.txt"
e2e_check "clear cache runs the history cleaning: $(cat "$system_dir/links.txt" 2>/dev/null)" \
    grep -qxF 'InetCpl.cpl,ClearMyTracksByProcess 8' "$system_dir/links.txt"
e2e_check "the rundll32.exe in the current directory is not started" test ! -e "$E2E_DIR/run/links.txt"

# Hiding to the notification area and back.
caption_click $((gw - 135 + 12)) 14
e2e_wait_until "hidden to the notification area" 5 shown_count_is 0 Kelvo
sleep 1
e2e_screenshot "$shots/game-4-tray.png"
tray_shown() { tray=$(xwininfo -root -children | grep -F '"Wine System Tray"' | awk '{ print $1; exit }'); [ -n "$tray" ]; }
tray_line=
e2e_poll 10 tray_shown && tray_line="$tray $(e2e_geometry "$tray")"
e2e_check "notification icon shown: $tray_line" test -n "$tray_line"
# Wine shows the icons without a notification area of the desktop in a window of its own, the
# first icon at the left of its client area.
read -r _ tx ty tw th <<<"$tray_line"
e2e_click $((tx + 12)) $((ty + th - 11))
e2e_check "a click on the icon brings the game back" test -n "$(wait_window_sized Kelvo "$sw" "$sh" 10)"

# Closes the game window from its caption and answers the question with Yes (Enter).
leave_game() {
    local box_id
    read -r _ gx gy gw gh <<<"$(wait_window_sized Kelvo "$sw" "$sh" 5)"
    caption_click $((gw - 26 + 12)) 14
    read -r box_id _ <<<"$(wait_window_not_sized Kelvo "$sw" "$sh" 10)"
    e2e_key "$box_id" Return
    sleep 1.5
}

# Closing asks; No keeps the game.
caption_click $((gw - 26 + 12)) 14
box=$(wait_window_not_sized Kelvo "$sw" "$sh" 10)
e2e_check "closing asks the leave-game question: $box" test -n "$box"
e2e_screenshot "$shots/game-5-question.png"
read -r box_id _ <<<"$box"
# Tab moves to No.
xdotool key --window "$box_id" Tab
e2e_key "$box_id" Return
sleep 1
e2e_check "No keeps the game" test -n "$(wait_window_sized Kelvo "$sw" "$sh" 5)"
e2e_check "No: the question is gone" shown_count_is 1 Kelvo

# Yes: the frame and the login page come back.
leave_game
e2e_wait_until "Yes: the game window is gone" 5 no_window_sized Kelvo "$sw" "$sh"
e2e_check "Yes: the frame is shown again" test -n "$(shown_windows Kelvo | awk -v f="$frame" '$1 == f')"
e2e_screenshot "$shots/game-6-left.png"
light() { set -- $1; [ "$1" -gt 200 ] && [ "$2" -gt 200 ] && [ "$3" -gt 200 ]; }
inside=$(e2e_pixel "$shots/game-6-left.png" $((fx + 900)) $((fy + 480)))
e2e_check "the login page shows inside the frame again: $inside" light "$inside"
e2e_check "program still running" kill -0 "$KELVO_PID"

# Server 13's movie calls "reload" three times, 50 ms apart: one re-entry follows, about 200 ms
# after the last call (the stand-in logs each call as the movie makes it).
reloads() { grep -c '^FlashCall <invoke name="reload"' "$E2E_STANDIN_LOG"; }
reentry13='GET /games/dlq/togame.php?target=kelvo_553&server_id=13&client=2&login_game_for_general&refer='
reentries13() { grep -cxF "$reentry13" "$E2E_DIR/portal.log"; }
enter_server 13
third=
reentered=
for ((i = 0; i < 1500; i++)); do
    [ -z "$third" ] && [ "$(reloads)" -ge 3 ] && third=$(date +%s%N)
    [ -n "$third" ] && [ "$(reentries13)" -ge 1 ] && { reentered=$(date +%s%N); break; }
    sleep 0.01
done
gap=$(((${reentered:-0} - ${third:-0}) / 1000000))
e2e_check "three reload calls from the movie" test -n "$third"
e2e_check "one re-entry ${gap} ms after the third call" test -n "$reentered" -a "$gap" -ge 100 -a "$gap" -le 1500
sleep 1.5
e2e_check "only one re-entry for the three calls ($(reentries13))" test "$(reentries13)" = 1
e2e_screenshot "$shots/game-7-reloaded.png"
leave_game
e2e_wait_until "left the second game" 5 no_window_sized Kelvo "$sw" "$sh"

e2e_click $((fx + 1071)) $((fy + 121))
e2e_wait_exit "$KELVO_PID" 20
e2e_check "program ends with status 0 (got $E2E_STATUS)" test "$E2E_STATUS" = 0
if [ -z "$flash_copy" ]; then
    e2e_check "no library planted beside the program was loaded: $(cd "$E2E_DIR/run" && echo *.loaded)" \
        bash -c '! ls "$1"/*.loaded >/dev/null 2>&1' _ "$E2E_DIR/run"
fi

e2e_finish

#!/bin/bash
# The movie's calls with the real kelvo.exe under Wine, the stand-ins and the demo portal: the
# loader movie fetched at the address the game entry names, and again after F5; its
# "setReloadTips" call traced on the debug output channel (WINEDEBUG=+debugstr) and its text shown
# by the next leave question; and the reload demo's three "reload" calls, 50 ms apart, giving one
# re-entry request about 200 ms after the last. Screenshots go to out/e2e/bridge-*.png.
source "$(dirname "$0")/lib.sh"
e2e_init bridge_e2e
e2e_register_standins
e2e_start_portal --port 18601
kelvo_link_cjk_font
shots=$KELVO_ROOT/out/e2e
mkdir -p "$shots"
portal=$E2E_DIR/portal.log
e2e_stamp "$portal" "$E2E_DIR/portal.stamped"

mkdir -p "$E2E_DIR/run"
: >"$E2E_DIR/run/kelvo.log"
e2e_stamp "$E2E_DIR/run/kelvo.log" "$E2E_DIR/kelvo.stamped"
WINEDEBUG=-all,+debugstr,warn+seh e2e_start_kelvo "$E2E_DIR/run"
trace=$E2E_DIR/run/kelvo.log
frame=$(e2e_find_window Kelvo 60)
e2e_check "login page completes" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^complete http://127\.0\.0\.1:18601/games/kelvo/dlq/$' 30
read -r fx fy _ <<<"$(e2e_geometry "$frame")"
read -r sw sh <<<"$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')"
sleep 1

# Clicks a server link of the login page (row 0 is server 12) until its game entry completes.
enter_server() {
    local id=$1 row=$2 try
    for ((try = 0; try < 3; try++)); do
        e2e_click $((fx + 407 + 48)) $((fy + 184 + 88 + row * 27))
        e2e_wait_line "$E2E_STANDIN_LOG" "^complete http://127\\.0\\.0\\.1:18601/games/kelvo/enter/error\\.php\\?uid=1001&serverid=$id&" 10 &&
            return 0
    done
    return 1
}
movie_fetches() { grep -c "^GET /front_resource/kelvo/GameLoader_$1\\.swf$" "$portal"; }
# The question's text, read by a tool in the prefix while the box is open.
question_text() { kelvo_wine "$KELVO_BUILD/tools/kelvo_wintext.exe" Kelvo 2>/dev/null | tr -d '\r'; }
# The pieces written to the debug output, one per line as Wine traces them (Wine 8: warn:seh;
# earlier versions: the debugstr channel), the other characters as '?'.
pieces() { grep -aE '(OutputDebugStringA|debugstr:[A-Za-z]*) "' "$trace" | sed -E 's/^[^"]*"(.*)"$/\1/'; }

e2e_check "server 12: game entry" enter_server 12 0
game_line=$(wait_window_sized Kelvo "$sw" "$sh" 20)
read -r game gx gy gw gh <<<"$game_line"
e2e_check "the loader movie is fetched at the address the entry names" \
    e2e_wait_line "$portal" '^GET /front_resource/kelvo/GameLoader_1001\.swf$' 10
e2e_check "the stand-in loads it from the entry's resource host and main version" \
    grep -qxF 'LoadMovie 0 http://127.0.0.1:18601/front_resource/kelvo/GameLoader_1001.swf' "$E2E_STANDIN_LOG"

# The movie's setReloadTips call, traced piece by piece on the debug output channel.
tips='演示加载器:现在离开游戏吗?'
e2e_check "the movie calls setReloadTips" e2e_wait_line "$E2E_STANDIN_LOG" '^FlashCall returned$' 10
sleep 0.5
e2e_screenshot "$shots/bridge-1-game.png"
cp "$trace" "$shots/bridge-trace.log"
# After the request: the debug line, the attributes, then each element's tag and text.
expected='\n??Flash????!!!!!!!!|  |name|=|setReloadTips|  |returntype|=|xml|  |Tag(invoke) = ||\n|  |Tag(arguments) = ||\n|  |Tag(string) = |?????:????????|\n'
got=$(pieces | grep -A21 -F 'invoke name=\"setReloadTips\"' | head -22)
e2e_check "trace: the request first" test "$(echo "$got" | head -1)" = \
    '<invoke name=\"setReloadTips\" returntype=\"xml\"><arguments><string>?????:????????</string></arguments></invoke>'
e2e_check "trace: then its pieces in order" test "$(echo "$got" | tail -n +2 | paste -sd'|')" = "$expected"

# F5: the re-entry request, and the loader fetched again from the new entry.
xdotool mousemove $((gw / 2)) $((gh - 40))
sleep 0.3
xdotool click 1
sleep 0.3
xdotool key F5
reentry='GET /games/dlq/togame.php?target=kelvo_553&server_id=12&client=2&login_game_for_general&refer='
for ((i = 0; i < 50; i++)); do [ "$(movie_fetches 1001)" -ge 2 ] && break; sleep 0.2; done
e2e_check "F5: the portal sees the re-entry request" grep -qxF "$reentry" "$portal"
e2e_check "F5: the loader movie is fetched again ($(movie_fetches 1001))" test "$(movie_fetches 1001)" = 2
e2e_check "the new movie calls setReloadTips again" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^show The leave-game question now has the movie.s text\.$' 10
for ((i = 0; i < 25; i++)); do [ "$(grep -c 'now has the movie' "$E2E_STANDIN_LOG")" -ge 2 ] && break; sleep 0.2; done

# The leave question shows the movie's text; No keeps the game, Yes leaves.
caption_click $((gw - 26 + 12)) 14
box=$(wait_window_not_sized Kelvo "$sw" "$sh" 10)
read -r box_id _ <<<"$box"
shown=$(question_text)
e2e_check "the leave question shows the movie's text: $shown" test "$shown" = "$tips"
e2e_screenshot "$shots/bridge-2-question.png"
xdotool key --window "$box_id" Return 2>/dev/null
sleep 1.5
e2e_check "Yes: the game window is gone" test -z "$(wait_window_sized Kelvo "$sw" "$sh" 1)"

# The reload demo: three calls, one re-entry, 200 ms after the last.
loads_1001() { grep -cxF 'LoadMovie 0 http://127.0.0.1:18601/front_resource/kelvo/GameLoader_1001.swf' "$E2E_STANDIN_LOG"; }
loads=$(loads_1001)
e2e_check "server 14: game entry" enter_server 14 2
e2e_check "its movie is fetched" e2e_wait_line "$portal" '^GET /front_resource/kelvo/GameLoader_1002\.swf$' 10
for ((i = 0; i < 75; i++)); do [ "$(loads_1001)" -gt "$loads" ] && break; sleep 0.2; done
e2e_check "the re-entry lands on the ordinary loader" test "$(loads_1001)" -gt "$loads"
sleep 1
e2e_screenshot "$shots/bridge-3-reloaded.png"
reentry14='GET /games/dlq/togame.php?target=kelvo_553&server_id=14&client=2&login_game_for_general&refer='
e2e_check "three reload calls traced" test "$(pieces | grep -cxF '\nFlash??!!!!!!!!')" = 3
e2e_check "one re-entry request for the three calls" test "$(grep -cxF "$reentry14" "$portal")" = 1
last_call=$(grep -aF 'OutputDebugStringA "\nFlash??!!!!!!!!"' "$E2E_DIR/kelvo.stamped" | tail -1 | cut -d' ' -f1)
request=$(grep -F "${reentry14#GET }" "$E2E_DIR/portal.stamped" | head -1 | cut -d' ' -f1)
delay=$((${request:-0} - ${last_call:-0}))
e2e_check "the re-entry request comes about 200 ms after the last call (${delay} ms)" \
    test "$delay" -ge 180 -a "$delay" -le 1500

e2e_check "program still running" kill -0 "$KELVO_PID"
e2e_finish

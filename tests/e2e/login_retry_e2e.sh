#!/bin/bash
# The login page while the portal cannot be reached, with the real kelvo.exe under Wine and the
# browser stand-in. Nobody listens on the portal's port, so every request of the login page ends on
# the control's error page, and the launcher asks again after 0.5, 1, 2, 4, 8 and 16 s, then every
# 30 s: 7 requests in the first minute, 2 a minute at the cap, where it used to ask again at once on
# every failure. The portal then comes back: the next request brings the login page, within a second,
# and the requests stop. The schedule is the real one, so the run takes about two minutes. Then a
# refresh of a game fails with the portal down, and a refresh while the portal holds the game-entry
# page is not lost to the retry that the failure armed.
source "$(dirname "$0")/lib.sh"
e2e_init login_retry_e2e
e2e_register_standins
port=18601
login=http://127.0.0.1:$port/games/kelvo/dlq/
e2e_wait_port_free $port || exit 1

# The stand-in's record, each line with the time it was written.
stamped=$E2E_DIR/stamped.log
: >"$E2E_STANDIN_LOG"
: >"$stamped"
e2e_stamp_lines "$E2E_STANDIN_LOG" "$stamped"
e2e_start_kelvo "$E2E_DIR/run"

# The times of the records that are exactly LINE, one a line.
times_of() { awk -v line="$1" 'substr($0, index($0, " ") + 1) == line { print $1 }' "$stamped"; }
requests() { times_of "navigate $login"; }
request_count() { requests | wc -l; }

# The first request follows the placeholder page; then 0.5 + 1 + 2 + 4 + 8 + 16 + 30 s pass
# before the eighth.
e2e_wait_until "eight requests of the login page within 90 s" 90 e2e_at_least 8 request_count
e2e_check "each ended on the control's error page" \
    test "$(grep -c "^complete res://ieframe.dll/navcancl.htm#$login\$" "$E2E_STANDIN_LOG")" -ge 8
e2e_check "the placeholder page completed once" test "$(times_of 'complete res://kelvo.exe/208' | wc -l)" = 1

# The portal comes back, between the eighth request and the ninth, 30 s after it.
e2e_wait_port_free $port || exit 1
e2e_start_portal --port $port
back=$(date +%s.%N)
e2e_check "portal listens" e2e_wait_line "$E2E_DIR/portal.log" "listening on 127.0.0.1:$port" 10
e2e_check "the login page completes" e2e_wait_line "$E2E_STANDIN_LOG" "^complete $login\$" 45
# Time for a request that should not come after the page.
sleep 2

mapfile -t at < <(requests)
done_at=$(times_of "complete $login" | head -1)
echo "login page requests, seconds after the first: $(printf '%s\n' "${at[@]}" |
    awk 'NR == 1 { t0 = $1 } { printf "%s%.2f", (NR > 1 ? ", " : ""), $1 - t0 }')"
in_first_minute=$(printf '%s\n' "${at[@]}" | awk 'NR == 1 { t0 = $1 } $1 - t0 < 60 { n++ } END { print n }')
echo "requests in the first minute: $in_first_minute"

# The waits between requests, each within [expected - 0.2 s, expected + 1 s]: the last two are
# capped at 30 s (uncapped, the first of them would be 32 s).
expected=(0.5 1 2 4 8 16 30 30)
e2e_check "nine requests in all, the last one bringing the page (got ${#at[@]})" test "${#at[@]}" = 9
for ((i = 1; i < ${#at[@]} && i <= ${#expected[@]}; i++)); do
    gap=$(echo "${at[i]} - ${at[i - 1]}" | bc -l)
    want=${expected[i - 1]}
    e2e_check "wait before request $((i + 1)): $(printf '%.2f' "$gap") s, expected $want s" \
        awk -v g="$gap" -v w="$want" 'BEGIN { exit !(g >= w - 0.2 && g <= w + 1) }'
done
# At the cap: the two waits after the seventh request, as requests a minute.
at_cap=none
[ "${#at[@]}" -ge 9 ] && at_cap=$(echo "120 / (${at[8]} - ${at[6]})" | bc -l | awk '{ printf "%.2f", $1 }')
e2e_check "requests a minute at the cap: $at_cap, at most 2" \
    awk -v r="$at_cap" 'BEGIN { exit !(r != "none" && r <= 2.05) }'
e2e_check "7 requests in the first minute (got $in_first_minute)" test "$in_first_minute" = 7

# The page came with the first request after the portal was back, and within a second of it.
e2e_check "the ninth request came after the portal was back" \
    awk -v t="${at[8]:-0}" -v back="$back" 'BEGIN { exit !(t > back) }'
e2e_check "the portal saw one request of the login page" \
    test "$(grep -c '^GET /games/kelvo/dlq/$' "$E2E_DIR/portal.log")" = 1
shown=none
[ -n "$done_at" ] && [ "${#at[@]}" -ge 9 ] && shown=$(echo "$done_at - ${at[8]}" | bc -l | awk '{ printf "%.2f", $1 }')
e2e_check "the login page completed within a second of the ninth request (after $shown s)" \
    awk -v s="$shown" 'BEGIN { exit !(s != "none" && s >= 0 && s < 1) }'

# A refresh while the portal is down arms a retry of the login page; the portal comes back, holding
# each game-entry page for 10 s, and the player refreshes again. The retry must not take the web
# view to the login page while the entry is held (its load would supersede the entry's, and the
# refresh would be lost without a word): the entry completes and the new movie loads.
entry_re='^complete http://127\.0\.0\.1:18601/games/kelvo/enter/error\.php\?uid=1001&serverid=12&'
entries() { grep -cE "$entry_re" "$E2E_STANDIN_LOG"; }
movies() { grep -c '^movie loaded ' "$E2E_STANDIN_LOG"; }
failures() { grep -c "^complete res://ieframe.dll/navcancl.htm#$login\$" "$E2E_STANDIN_LOG"; }
for ((try = 0; try < 3; try++)); do
    e2e_click $((382 + 407 + 48)) $((227 + 184 + 88))
    e2e_poll 10 e2e_at_least 1 entries && break
done
e2e_wait_until "server 12: the game's movie loads" 15 e2e_at_least 1 movies
read -r sw sh <<<"$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')"
# The keyboard in the game.
xdotool mousemove $((sw / 2)) $((sh / 2))
sleep 0.3
xdotool click 1
sleep 0.3
kill "$PORTAL_PID"
e2e_wait_port_free $port || exit 1
before=$(failures)
xdotool key F5
reentry="http://127.0.0.1:$port/games/dlq/togame.php?target=kelvo_553&server_id=12&client=2&login_game_for_general&refer="
e2e_check "the refresh fails on the control's error page" \
    e2e_wait_line "$E2E_STANDIN_LOG" "^complete res://ieframe\.dll/navcancl\.htm#http://127\.0\.0\.1:$port/games/dlq/togame\.php" 10
# The retries wait 0.5, 1, 2 and 4 s; after the fourth failure the next waits 8 s.
e2e_wait_until "four retries of the login page fail" 20 e2e_at_least $((before + 4)) failures
e2e_start_portal --port $port --entry-delay-ms 10000
e2e_check "portal listens again" e2e_wait_line "$E2E_DIR/portal.log" "listening on 127.0.0.1:$port" 10
marker=$(wc -l <"$E2E_STANDIN_LOG")
xdotool key F5
e2e_wait_until "the held entry completes" 25 e2e_at_least 2 entries
# Between the refresh and the entry's completion: no request of the login page.
asked=$(tail -n +$((marker + 1)) "$E2E_STANDIN_LOG" | awk -v login="navigate $login" -v re="$entry_re" '
    $0 ~ re { exit } $0 == login { n++ } END { print n + 0 }')
e2e_check "no login page asked for while the entry was held (asked $asked times)" test "$asked" = 0
e2e_check "the refresh asked for the re-entry address" \
    grep -qxF "navigate $reentry" <(tail -n +$((marker + 1)) "$E2E_STANDIN_LOG")
e2e_wait_until "the new movie loads" 15 e2e_at_least 2 movies

# Leave the game: its close button, then Yes (Enter) in the question.
xdotool mousemove $((sw - 14)) 14
sleep 0.3
xdotool click 1
sleep 0.3
xdotool mousemove $((sw - 14)) 15
sleep 1
xdotool key Return
e2e_check "the frame is back" e2e_poll 10 e2e_window_titled Kelvo
sleep 1

# Close through the frame's close button.
e2e_click $((382 + 1071)) $((227 + 121))
e2e_wait_exit "$KELVO_PID" 20
e2e_check "program ends with status 0 (got $E2E_STATUS)" test "$E2E_STATUS" = 0

e2e_finish

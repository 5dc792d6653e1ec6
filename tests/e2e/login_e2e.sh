#!/bin/bash
# The login side of the real kelvo.exe under Wine with the browser stand-in and the demo portal:
# the placeholder page completes, the login page is requested and completes and shows inside the
# frame's content area, and right-button presses and double-clicks never reach the page.
source "$(dirname "$0")/lib.sh"
e2e_init login_e2e
e2e_register_standins
e2e_start_portal --port 18601

e2e_start_kelvo "$E2E_DIR/run"
frame=$(e2e_find_window Kelvo 60)
e2e_check "frame shown" test -n "$frame"

e2e_check "placeholder page completes" e2e_wait_line "$E2E_STANDIN_LOG" '^complete res://kelvo\.exe/208$' 30
e2e_check "login page requested from the portal" e2e_wait_line "$E2E_DIR/portal.log" '^GET /games/kelvo/dlq/$' 30
e2e_check "login page completes" \
    e2e_wait_line "$E2E_STANDIN_LOG" '^complete http://127\.0\.0\.1:18601/games/kelvo/dlq/$' 30
e2e_check "manifest checked once" test "$(grep -c "^GET /front_resource/kelvo/weiduan/zarn/kelvoupdate" "$E2E_DIR/portal.log")" = 1

sleep 1
e2e_screenshot "$E2E_DIR/login.png"
mkdir -p "$KELVO_ROOT/out/e2e" && cp "$E2E_DIR/login.png" "$KELVO_ROOT/out/e2e/login.png"
# The page lies at (407, 184)-(1017, 520) of the frame, the frame at (382, 227).
light() { set -- $1; [ "$1" -gt 200 ] && [ "$2" -gt 200 ] && [ "$3" -gt 200 ]; }
inside=$(e2e_pixel "$E2E_DIR/login.png" $((382 + 900)) $((227 + 480)))
e2e_check "page drawn inside the content area: $inside" light "$inside"
outside=$(e2e_pixel "$E2E_DIR/login.png" $((382 + 1040)) $((227 + 480)))
e2e_check "content area around the page stays dark: $outside" test "$(echo $outside | cut -d' ' -f1)" -lt 80

# Right button on the page: the release arrives, the press and the double-click do not.
px=$((382 + 800)) py=$((227 + 450))
xdotool mousemove $px $py
sleep 0.3
xdotool click 3
sleep 0.2
xdotool click --repeat 2 --delay 80 3
sleep 0.2
xdotool click 1
e2e_wait_line "$E2E_STANDIN_LOG" '^mouse WM_LBUTTONUP' 10
e2e_check "left button reaches the page" grep -q '^mouse WM_LBUTTONDOWN' "$E2E_STANDIN_LOG"
e2e_check "right-button releases reach the page" grep -q '^mouse WM_RBUTTONUP' "$E2E_STANDIN_LOG"
e2e_check "right-button presses never reach the page" bash -c "! grep -q '^mouse WM_RBUTTONDOWN' '$E2E_STANDIN_LOG'"
e2e_check "right-button double-clicks never reach the page" \
    bash -c "! grep -q '^mouse WM_RBUTTONDBLCLK' '$E2E_STANDIN_LOG'"

# Enter and Escape typed into the page: Enter reaches it, neither ends the program.
xdotool key Return
sleep 0.3
xdotool key Escape
sleep 1
e2e_check "Enter reaches the page" grep -q '^key 13$' "$E2E_STANDIN_LOG"
e2e_check "Enter and Escape leave the program running" kill -0 "$KELVO_PID"
frame_shown() { e2e_find_window Kelvo 2 >/dev/null; }
e2e_check "the frame is still shown" frame_shown

# Close through the frame's close button.
e2e_click $((382 + 1071)) $((227 + 121))
e2e_wait_exit "$KELVO_PID" 20
e2e_check "program ends with status 0 (got $E2E_STATUS)" test "$E2E_STATUS" = 0

e2e_finish

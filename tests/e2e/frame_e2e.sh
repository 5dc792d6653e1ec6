#!/bin/bash
# The real kelvo.exe under Wine: the frame centred on a 1920x1080 screen with per-pixel alpha, the
# login window at its offset through a drag, a tab opening its address through the system's
# handler, and the close button ending the process with status 0.
source "$(dirname "$0")/lib.sh"
e2e_init frame_e2e

# A green desktop, so that transparent pixels of the frame are told apart from dark ones.
convert -size 64x64 xc:'#00ff00' "$E2E_DIR/green.png"
display -window root "$E2E_DIR/green.png"
e2e_register_url_recorder
# The login dialog's update check asks the portal: it answers that there is nothing newer.
e2e_start_portal --port 18601

e2e_start_kelvo "$E2E_DIR/run"
start=$(date +%s.%N)
frame=$(e2e_find_window Kelvo 60)
shown=$(date +%s.%N)
echo "frame shown after $(echo "$shown - $start" | bc -l | cut -c1-5) s"

e2e_check "frame window exists" test -n "$frame"
geometry=$(e2e_geometry Kelvo)
e2e_check "frame is 1155x625 at (382, 227): got $geometry" test "$geometry" = "382 227 1155 625"

login_at() { xwininfo -root -children | grep '"kelvo.exe"' | grep "+$1+$2 " >/dev/null; }
e2e_check "login window at (744, 381)" login_at 744 381

# Wine draws the picture and gives the window its shape from it shortly after showing it; on a
# loaded machine that can take a few seconds. Until the picture is drawn the corner shows what lies
# behind too, so the wait is for all three pixels.
dark() { set -- $1; [ "$1" -lt 60 ] && [ "$2" -lt 60 ] && [ "$3" -lt 60 ]; }
frame_drawn() {
    e2e_screenshot "$E2E_DIR/frame.png"
    corner=$(e2e_pixel "$E2E_DIR/frame.png" 383 228)
    content=$(e2e_pixel "$E2E_DIR/frame.png" $((382 + 380)) $((227 + 400)))
    border=$(e2e_pixel "$E2E_DIR/frame.png" $((382 + 345)) $((227 + 300)))
    [ "$corner" = "0 255 0" ] && dark "$content" && [ "$border" != "0 255 0" ]
}
e2e_poll 10 frame_drawn
e2e_check "transparent corner shows what lies behind: $corner" test "$corner" = "0 255 0"
e2e_check "content area is dark: $content" dark "$content"
e2e_check "frame border is drawn: $border" test "$border" != "0 255 0"
mkdir -p "$KELVO_ROOT/out/e2e" && cp "$E2E_DIR/frame.png" "$KELVO_ROOT/out/e2e/frame.png"

# The forum tab, above the login window's top edge.
e2e_click $((382 + 840)) $((227 + 140))
e2e_poll 10 test -s "$E2E_RECORDED"
recorded=$(cat "$E2E_RECORDED" 2>/dev/null)
e2e_check "forum tab opens its address: $recorded" test "$recorded" = "http://127.0.0.1:18601/forum-2205-1.html"

# Drag the frame by its left border; the login window comes along.
e2e_drag $((382 + 345)) $((227 + 300)) $((482 + 345)) $((277 + 300))
geometry=$(e2e_geometry Kelvo)
e2e_check "frame dragged to (482, 277): got $geometry" test "$geometry" = "482 277 1155 625"
e2e_check "login window followed to (844, 431)" login_at 844 431

# The close button, at frame pixel (1071, 121).
e2e_click $((482 + 1071)) $((277 + 121))
e2e_wait_exit "$KELVO_PID" 20
e2e_check "close button ends the process with status 0 (got $E2E_STATUS)" test "$E2E_STATUS" = 0

e2e_finish

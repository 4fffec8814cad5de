#!/usr/bin/env bash
# The about box on the real program: Help > About opens a box titled "Orvanta" a fifth of
# the main window's width right of its left edge and a quarter of its height below its top,
# the music plays while it is open, OK closes it and the music stops with it.
# ALSA is routed to a WAV file (an .asoundrc with a `file` PCM in the test's own HOME), so
# what Wine plays can be measured. The intro movie is left out: its silent sound stream
# would be a second writer of the same capture file.
#   tests/wine/about_box.sh <mingw build dir>
set -u
command -v sox >/dev/null 2>&1 || exit 77
. "$(dirname "$0")/wine_env.sh" "$@"
[ -f "$orv_app/lumvex.mp3" ] || exit 77

capture="$orv_work/capture.wav"
mkdir -p "$orv_work/home"
cat > "$orv_work/home/.asoundrc" <<ASOUND
pcm.!default {
  type file
  slave.pcm "null"
  file "$capture"
  format "wav"
}
ASOUND
export HOME="$orv_work/home"

orv_start
orv_check "main window is shown" orv_wait_for 60 orv_main_visible
main_id=$(orv_visible_window '^Orvanta$' | head -1)
sleep 1

geometry() {  # window id -> "x y width height"
  xdotool getwindowgeometry --shell "$1" |
    awk -F= '/^X=/ { x = $2 } /^Y=/ { y = $2 } /^WIDTH=/ { w = $2 } /^HEIGHT=/ { h = $2 }
             END { print x, y, w, h }'
}
read -r main_x main_y main_w main_h < <(geometry "$main_id")
echo "main window: $main_x,$main_y ${main_w}x$main_h"

xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+h
sleep 0.5
xdotool key Return
about_id() { orv_visible_window '^Orvanta$' | grep -vx "$main_id" | head -1; }
orv_about_shown() { [ -n "$(about_id)" ]; }
orv_check "Help > About opens a second window titled Orvanta" orv_wait_for 10 orv_about_shown
id=$(about_id)
if [ -n "$id" ]; then
  read -r box_x box_y box_w box_h < <(geometry "$id")
  echo "about box: $box_x,$box_y ${box_w}x$box_h"
  # The placement is computed in twips (15 to a pixel here); allow a pixel of rounding.
  within() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(d <= 1 && d >= -1) }'; }
  orv_check "about box left = main left + main width / 5" \
    within "$box_x" "$(awk -v x="$main_x" -v w="$main_w" 'BEGIN { print x + w / 5 }')"
  orv_check "about box top = main top + main height / 4" \
    within "$box_y" "$(awk -v y="$main_y" -v h="$main_h" 'BEGIN { print y + h / 4 }')"
  orv_check "the main window is still shown behind it" orv_main_visible
fi
sleep 3
orv_shot about-box-open

# What was played while the box is open.
rms_of() { sox --ignore-length "$1" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }
size_of() { stat -c %s "$capture" 2>/dev/null || echo 0; }
orv_check "sound was captured while the box is open" test -s "$capture"
cp "$capture" "$orv_work/open.wav" 2>/dev/null
open_rms=$(rms_of "$orv_work/open.wav")
echo "while open: $(size_of) bytes, RMS ${open_rms:-?}"
orv_check "the music plays (RMS > 0.05)" \
  awk -v r="${open_rms:-0}" 'BEGIN { exit !(r > 0.05) }'

# OK is the focused button.
xdotool key space
orv_about_closed() { [ -z "$(about_id)" ]; }
orv_check "OK closes the about box" orv_wait_for 10 orv_about_closed
sleep 2
closed_size=$(size_of)
sleep 3
echo "after close: $closed_size bytes, 3 s later $(size_of) bytes"
orv_check "the music stops when the box closes (nothing more is played)" \
  test "$(size_of)" -eq "$closed_size"

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

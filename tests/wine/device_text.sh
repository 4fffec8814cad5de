#!/usr/bin/env bash
# Text in device fonts shows in orvanta.exe: a line in _sans drawn with the face the
# system's font mapper gives, and what the user types into an input field of the movie
# (a click, then letters, one of them past ASCII) appears in the field; Shift+Home,
# Ctrl+C and Ctrl+V copy it through the clipboard and paste it after itself; the mouse
# wheel scrolls a field of several lines.
#   tests/wine/device_text.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
command -v python3 >/dev/null 2>&1 || exit 77
python3 "$orv_src/tests/wine/make_text_movie.py" "$orv_app/text.swf" || exit 1

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
shoot() {  # shoot <name>
  sleep 1
  import -window "$main_id" "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/device-text-$1.png" 2>/dev/null
}
dark_in() {  # dark_in <picture> <top %> <bottom %>: dark pixels across that band
  local top=$((HEIGHT * $2 / 100)) bottom=$((HEIGHT * $3 / 100))
  convert "$orv_work/$1.png" -crop "$((WIDTH * 90 / 100))x$((bottom - top))+$((WIDTH * 5 / 100))+$top" +repage \
    -colorspace gray -threshold 50% -negate -format "%[fx:int(mean*w*h+0.5)]" info: 2>/dev/null
}
text_line_drawn() {
  local n
  n=$(dark_in before 8 35)
  echo "  dark pixels in the text line: $n"
  [ "${n:-0}" -gt 300 ]
}
typing_shows() {
  echo "  dark pixels in the field: $field_before before typing, $field_after after"
  [ "${field_after:-0}" -gt $((${field_before:-0} + 150)) ]
}

orv_start 'C:\Orvanta\text.swf'
orv_check "main window is shown with the movie" orv_wait_for 60 main_visible
main_id=$(main_window)
sleep 3
eval "$(xdotool getwindowgeometry --shell "$main_id")"
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true

shoot before
orv_check "the line in _sans is drawn" text_line_drawn
field_before=$(dark_in before 76 96)
xdotool mousemove --window "$main_id" $((WIDTH / 2)) $((HEIGHT * 86 / 100)) click 1
sleep 0.5
xdotool type --delay 60 "Hello Wine é"
shoot typed
field_after=$(dark_in typed 76 96)
orv_check "typed text shows in the input field" typing_shows

# Select all (Shift+Home from the end), copy, go to the end and paste: the text is there twice.
xdotool key --clearmodifiers shift+Home
sleep 0.3
xdotool key --clearmodifiers ctrl+c
sleep 0.3
xdotool key --clearmodifiers End
xdotool key --clearmodifiers ctrl+v
shoot pasted
field_pasted=$(dark_in pasted 76 96)
pasting_shows() {
  echo "  dark pixels in the field: $field_after after typing, $field_pasted after copy and paste"
  [ "${field_pasted:-0}" -gt $((${field_after:-0} + 150)) ]
}
orv_check "copied text pastes through the clipboard" pasting_shows

# The wheel over the middle field scrolls its next line into view.
band() { convert "$orv_work/$1.png" -crop "$((WIDTH * 90 / 100))x$((HEIGHT * 20 / 100))+$((WIDTH * 5 / 100))+$((HEIGHT * 45 / 100))" +repage rgb:- 2>/dev/null | md5sum; }
xdotool mousemove --window "$main_id" $((WIDTH / 2)) $((HEIGHT * 55 / 100))
shoot before-wheel
xdotool click 5
shoot wheeled
wheel_scrolls() {
  echo "  middle field before the wheel: $(band before-wheel | cut -c1-8), after: $(band wheeled | cut -c1-8)"
  [ "$(band before-wheel)" != "$(band wheeled)" ]
}
orv_check "the wheel scrolls the field under the pointer" wheel_scrolls

kill -0 "$orv_program_pid" 2>/dev/null && orv_check "the program is still running" true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

#!/usr/bin/env bash
# Tab reaches the movie: pressed in the main window, it gives the keyboard focus to the
# button over the middle of the stage, which gets the yellow focus rectangle; Enter then
# presses and releases it, and its action covers the stage in black. A mouse move takes
# the rectangle away again.
#   tests/wine/tab_focus.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
command -v python3 >/dev/null 2>&1 || exit 77
python3 "$orv_src/tests/wine/make_button_movie.py" "$orv_app/button.swf" || exit 1

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
shoot() {  # shoot <name>
  sleep 1
  import -window "$main_id" "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/tab-focus-$1.png" 2>/dev/null
}
yellow_pixels() {  # yellow_pixels <picture>: how many pixels are pure yellow
  convert "$orv_work/$1.png" -fill black +opaque "rgb(255,255,0)" -fill white -opaque "rgb(255,255,0)" \
    -format "%[fx:int(mean*w*h+0.5)]" info: 2>/dev/null
}
has_rectangle() {  # has_rectangle <picture>
  local n
  n=$(yellow_pixels "$1")
  echo "  yellow pixels in $1: $n"
  [ "${n:-0}" -gt 200 ]
}
no_rectangle() {
  local n
  n=$(yellow_pixels "$1")
  echo "  yellow pixels in $1: $n"
  [ "${n:-1}" -eq 0 ]
}
colour_at() {
  convert "$orv_work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
beside_is() {  # beside_is <picture> <r,g,b>: a point of the stage beside the button
  local got
  got=$(colour_at "$1" "$beside_x" "$centre_y")
  echo "  beside the button in $1: $got"
  [ "$got" = "$2" ]
}

orv_start 'C:\Orvanta\button.swf'
orv_check "main window is shown with the movie" orv_wait_for 60 main_visible
main_id=$(main_window)
sleep 3
eval "$(xdotool getwindowgeometry --shell "$main_id")"
centre_y=$((HEIGHT / 2 + 10))
beside_x=$((WIDTH / 8))
xdotool mousemove 1000 750
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true

shoot before
orv_check "no focus rectangle before a key" no_rectangle before
xdotool key --clearmodifiers Tab
shoot tab
orv_check "Tab gives the button the focus rectangle" has_rectangle tab
orv_check "Tab alone runs no action" beside_is tab "255,255,255"

xdotool mousemove --window "$main_id" "$beside_x" "$centre_y"
sleep 0.3
xdotool mousemove --window "$main_id" $((beside_x + 5)) "$centre_y"
shoot moved
orv_check "a mouse move hides the rectangle" no_rectangle moved

xdotool key --clearmodifiers Tab
xdotool key --clearmodifiers Return
shoot enter
orv_check "Enter on the focused button ran its action: the stage is black" beside_is enter "0,0,0"

kill -0 "$orv_program_pid" 2>/dev/null && orv_check "the program is still running" true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

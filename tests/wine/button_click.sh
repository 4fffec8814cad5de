#!/usr/bin/env bash
# The mouse reaches the movie: a button over the middle of the stage shows its over
# picture (blue) when the pointer rests on it and, clicked, runs its action, which covers
# the stage in black. Before, it shows its up picture (red); a click beside it does nothing.
# Typed, the key "k" runs the same action; another key does nothing.
#   tests/wine/button_click.sh <mingw build dir>
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
  cp "$orv_work/$1.png" "$orv_shots/button-click-$1.png" 2>/dev/null
}
# colour_at <picture> <x> <y>: "r,g,b" of a pixel
colour_at() {
  convert "$orv_work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
centre_is() {  # centre_is <picture> <r,g,b>
  local got
  got=$(colour_at "$1" "$centre_x" "$centre_y")
  echo "  centre of $1: $got"
  [ "$got" = "$2" ]
}
corner_is() {  # corner_is <picture> <r,g,b>: a point of the stage beside the button
  local got
  got=$(colour_at "$1" "$beside_x" "$centre_y")
  echo "  beside the button in $1: $got"
  [ "$got" = "$2" ]
}

orv_start 'C:\Orvanta\button.swf'
orv_check "main window is shown with the movie" orv_wait_for 60 main_visible
main_id=$(main_window)
sleep 3
# The movie fills the window's client area; its middle half is the button. Aim at the
# middle of the window a little below the menu bar, and beside the button at an eighth.
eval "$(xdotool getwindowgeometry --shell "$main_id")"
centre_x=$((WIDTH / 2))
centre_y=$((HEIGHT / 2 + 10))
beside_x=$((WIDTH / 8))

xdotool mousemove 1000 750
shoot up
orv_check "the button shows its up picture" centre_is up "255,0,0"

xdotool mousemove --window "$main_id" "$beside_x" "$centre_y"
sleep 0.5
xdotool click 1
sleep 0.5
xdotool mousemove 1000 750
shoot beside
orv_check "a click beside the button changes nothing" centre_is beside "255,0,0"
orv_check "the stage beside the button stays white" corner_is beside "255,255,255"

xdotool mousemove --window "$main_id" "$centre_x" "$centre_y"
sleep 0.3
xdotool mousemove --window "$main_id" $((centre_x + 5)) "$centre_y"
shoot over
orv_check "the pointer on the button shows its over picture" centre_is over "0,0,255"

xdotool click 1
sleep 0.5
xdotool mousemove 1000 750
shoot clicked
orv_check "the click ran the button's action: the stage is black" corner_is clicked "0,0,0"

kill -0 "$orv_program_pid" 2>/dev/null && orv_check "the program is still running" true
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null

# The keyboard reaches the movie too: the button's action for the key "k".
orv_start 'C:\Orvanta\button.swf'
orv_check "started again" orv_wait_for 60 main_visible
main_id=$(main_window)
sleep 3
xdotool mousemove 1000 750
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers j
shoot other-key
orv_check "another key changes nothing" corner_is other-key "255,255,255"
xdotool key --clearmodifiers k
shoot key
orv_check "typing k ran the button's key action: the stage is black" corner_is key "0,0,0"
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

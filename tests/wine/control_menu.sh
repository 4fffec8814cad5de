#!/usr/bin/env bash
# The movie's own menu: a right click on the movie opens it (a pop-up window appears and
# the picture under it changes), Down and Enter choose its first entry, Zoom In, which
# enlarges the picture about the point clicked; Shift+F10 and the menu key open it too. In
# full screen the menu opens and Escape closes it without leaving full-screen mode.
#   tests/wine/control_menu.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
command -v python3 >/dev/null 2>&1 || exit 77
python3 "$orv_src/tests/wine/make_button_movie.py" "$orv_app/button.swf" || exit 1

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
full_visible() { [ -n "$(orv_visible_window '^Form1$')" ]; }
full_hidden() { ! full_visible; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
# The program's visible top-level windows (a pop-up menu is one of them).
window_count() { xdotool search --onlyvisible --pid "$orv_wine_pid" 2>/dev/null | wc -l; }
shoot() {  # shoot <name>: the whole screen (the pop-up menu lies outside no window)
  sleep 1
  import -window root "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/control-menu-$1.png" 2>/dev/null
}
colour_at() {  # colour_at <picture> <x> <y>: "r,g,b"
  convert "$orv_work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
colour_is() {  # colour_is <picture> <x> <y> <r,g,b>
  local got
  got=$(colour_at "$1" "$2" "$3")
  echo "  ($2,$3) in $1: $got"
  [ "$got" = "$4" ]
}
differs() {  # differs <a> <b>: how many pixels changed, more than a few hundred
  local n
  n=$(compare -metric AE "$orv_work/$1.png" "$orv_work/$2.png" null: 2>&1 | cut -d' ' -f1)
  echo "  $1 -> $2: $n pixels differ"
  [ "${n%.*}" -gt 300 ] 2>/dev/null
}
same() {  # same <a> <b>
  local n
  n=$(compare -metric AE "$orv_work/$1.png" "$orv_work/$2.png" null: 2>&1 | cut -d' ' -f1)
  echo "  $1 -> $2: $n pixels differ"
  [ "${n%.*}" -lt 50 ] 2>/dev/null
}
popup_open() { [ "$(window_count)" -gt "$windows_before" ]; }
popup_closed() { [ "$(window_count)" -le "$windows_before" ]; }

orv_start 'C:\Orvanta\button.swf'
orv_check "main window is shown with the movie" orv_wait_for 60 main_visible
main_id=$(main_window)
orv_wine_pid=$(xdotool getwindowpid "$main_id" 2>/dev/null)
sleep 3
eval "$(xdotool getwindowgeometry --shell "$main_id")"
# Window-relative points: the middle of the movie and a point of the stage beside the
# button (white), which the button covers once the picture is twice the size.
centre_x=$((WIDTH / 2))
centre_y=$((HEIGHT / 2 + 10))
beside_x=$((WIDTH / 8))
xdotool mousemove 1000 750
shoot before
orv_check "before: the stage beside the button is white" \
  colour_is before $((X + beside_x)) $((Y + centre_y)) "255,255,255"
windows_before=$(window_count)

xdotool mousemove --window "$main_id" "$centre_x" "$centre_y"
sleep 0.5
xdotool click 3
orv_check "a right click opens a pop-up menu" orv_wait_for 10 popup_open
shoot menu
orv_check "the menu shows on the screen" differs before menu
xdotool key Down
sleep 0.3
xdotool key Return
orv_check "choosing closes the menu" orv_wait_for 10 popup_closed
xdotool mousemove 1000 750
shoot zoomed
orv_check "Zoom In changed the picture" differs before zoomed
# The pointer last stood on the button: it may show its over picture (blue) or its up one.
orv_check "the doubled button covers the stage beside it" \
  eval 'colour_is zoomed $((X + beside_x)) $((Y + centre_y)) "0,0,255" ||
        colour_is zoomed $((X + beside_x)) $((Y + centre_y)) "255,0,0"'

# From the keyboard: Shift+F10 opens it; Escape closes it with nothing chosen.
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers shift+F10
orv_check "Shift+F10 opens the menu" orv_wait_for 10 popup_open
xdotool key Escape
orv_check "Escape closes it" orv_wait_for 10 popup_closed
xdotool mousemove 1000 750
shoot after-escape
orv_check "nothing was chosen" same zoomed after-escape
xdotool key --clearmodifiers Menu
orv_check "the menu key opens it" orv_wait_for 10 popup_open
xdotool key Escape
orv_check "Escape closes it again" orv_wait_for 10 popup_closed

# Full screen: the menu opens and Escape closes it; full-screen mode goes on.
xdotool key --clearmodifiers ctrl+s
orv_check "full-screen window is shown" orv_wait_for 20 full_visible
sleep 2
windows_before=$(window_count)
xdotool mousemove 512 384
sleep 0.3
xdotool click 3
orv_check "a right click in full screen opens the menu" orv_wait_for 10 popup_open
sleep 0.5
# Held as a user holds it: still down well after the menu has closed.
xdotool keydown Escape
sleep 0.5
xdotool keyup Escape
orv_check "Escape closes the menu" orv_wait_for 10 popup_closed
sleep 1
orv_check "full-screen mode goes on" full_visible
xdotool key --clearmodifiers shift+F10
orv_check "Shift+F10 opens the menu in full screen" orv_wait_for 10 popup_open
xdotool key Escape
orv_check "Escape closes it" orv_wait_for 10 popup_closed
sleep 1
orv_check "full-screen mode still goes on" full_visible
xdotool key Escape
orv_check "the next Escape ends full-screen mode" orv_wait_for 20 full_hidden
orv_check "the main window is back" orv_wait_for 20 main_visible

kill -0 "$orv_program_pid" 2>/dev/null && orv_check "the program is still running" true
main_id=$(main_window)
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

#!/usr/bin/env bash
# A movie's own menu: the movie hides the player's entries and adds "Paint it black". A
# right click shows a menu of just that item and About (a pop-up far shorter than the
# player's full menu, its item drawn on the top row); choosing the item runs the movie's
# handler, which covers the stage in black. In full screen the same menu opens.
#   tests/wine/movie_menu.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
command -v python3 >/dev/null 2>&1 || exit 77
python3 "$orv_src/tests/wine/make_menu_movie.py" "$orv_app/menu.swf" || exit 1

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
full_visible() { [ -n "$(orv_visible_window '^Form1$')" ]; }
full_hidden() { ! full_visible; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
windows() { xdotool search --onlyvisible --pid "$orv_wine_pid" 2>/dev/null | sort; }
shoot() {  # shoot <name>: the whole screen (the pop-up menu lies outside no window)
  sleep 1
  import -window root "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/movie-menu-$1.png" 2>/dev/null
}
colour_is() {  # colour_is <picture> <x> <y> <r,g,b>
  local got
  got=$(convert "$orv_work/$1.png" -format \
    "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null)
  echo "  ($2,$3) in $1: $got"
  [ "$got" = "$4" ]
}
popup_open() { [ -n "$(comm -13 <(echo "$windows_before") <(windows))" ]; }
popup_closed() { [ -z "$(comm -13 <(echo "$windows_before") <(windows))" ]; }
# The pop-up's size, and how many dark (text) pixels its top row holds.
measure_popup() {
  popup=$(comm -13 <(echo "$windows_before") <(windows) | head -1)
  eval "$(xdotool getwindowgeometry --shell "$popup" | sed 's/^/POPUP_/')"
  echo "  pop-up $popup: ${POPUP_WIDTH}x$POPUP_HEIGHT at $POPUP_X,$POPUP_Y"
}
short_menu() { [ "$POPUP_HEIGHT" -gt 20 ] && [ "$POPUP_HEIGHT" -lt 100 ]; }
top_row_has_text() {
  local dark
  dark=$(convert "$orv_work/$1.png" -crop "$((POPUP_WIDTH - 8))x16+$((POPUP_X + 4))+$((POPUP_Y + 3))" \
    -colorspace Gray -threshold 50% -format "%[fx:int(w*h*(1-mean))]" info: 2>/dev/null)
  echo "  dark pixels on the top row: $dark"
  [ "${dark:-0}" -gt 20 ]
}

orv_start 'C:\Orvanta\menu.swf'
orv_check "main window is shown with the movie" orv_wait_for 60 main_visible
main_id=$(main_window)
orv_wine_pid=$(xdotool getwindowpid "$main_id" 2>/dev/null)
sleep 3
eval "$(xdotool getwindowgeometry --shell "$main_id")"
centre_x=$((WIDTH / 2))
centre_y=$((HEIGHT / 2 + 10))
xdotool mousemove 1000 750
shoot before
orv_check "before: the stage is white" colour_is before $((X + centre_x)) $((Y + centre_y)) "255,255,255"

windows_before=$(windows)
xdotool mousemove --window "$main_id" "$centre_x" "$centre_y"
sleep 0.5
xdotool click 3
orv_check "a right click opens a pop-up menu" orv_wait_for 10 popup_open
shoot menu
measure_popup
orv_check "the menu holds the movie's item and About only" short_menu
orv_check "its top row shows the movie's item" top_row_has_text menu
xdotool key Down
sleep 0.3
xdotool key Return
orv_check "choosing closes the menu" orv_wait_for 10 popup_closed
xdotool mousemove 1000 750
shoot chosen
orv_check "the movie's handler covered the stage in black" \
  colour_is chosen $((X + centre_x)) $((Y + centre_y)) "0,0,0"

# Full screen: the same short menu opens, and Escape closes it without leaving.
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+s
orv_check "full-screen window is shown" orv_wait_for 20 full_visible
sleep 2
windows_before=$(windows)
xdotool mousemove 512 384
sleep 0.3
xdotool click 3
orv_check "a right click in full screen opens the menu" orv_wait_for 10 popup_open
shoot full-menu
measure_popup
orv_check "the full-screen menu is the movie's too" short_menu
xdotool key Escape
orv_check "Escape closes it" orv_wait_for 10 popup_closed
sleep 1
orv_check "full-screen mode goes on" full_visible
xdotool key Escape
orv_check "the next Escape ends full-screen mode" orv_wait_for 20 full_hidden
orv_check "the main window is back" orv_wait_for 20 main_visible

main_id=$(main_window)
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

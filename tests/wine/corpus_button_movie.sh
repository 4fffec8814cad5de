#!/usr/bin/env bash
# A real movie with buttons, played by orvanta.exe: the button events test movie of the
# script corpus shows a red square (a button inside a clip) and waits for the user. The
# pointer rolling over and out of the square, and a press on it, reach the movie's
# scripts, which answer by colouring the square and writing the events into the text
# fields beside it: the picture changes.
# Skipped when the corpus is not beside the sources.
#   tests/wine/corpus_button_movie.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
movie="$orv_src/../shared/corpus/from_gnash/misc-ming.all/ButtonEventsTest/test.swf"
[ -f "$movie" ] || { echo "corpus not present"; exit 77; }
cp "$movie" "$orv_app/buttons.swf"

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
shoot() {  # shoot <name>: the main window as the screen shows it
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$main_id")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/corpus-button-$1.png" 2>/dev/null
}
# differs <a> <b>: the two pictures differ in more than a few pixels
differs() {
  local n
  n=$(compare -metric AE "$orv_work/$1.png" "$orv_work/$2.png" null: 2>&1 | cut -d' ' -f1)
  echo "  $1 -> $2: $n pixels differ"
  [ "${n%.*}" -gt 20 ] 2>/dev/null
}

orv_start 'C:\Orvanta\buttons.swf'
orv_check "main window is shown with the movie" orv_wait_for 60 main_visible
main_id=$(main_window)
# The pointer waits on an empty part of the stage.
xdotool mousemove --window "$main_id" 500 300
sleep 4
shoot idle

# Where the movie drew its red square, in window pixels.
read -r x0 y0 x1 y1 < <(convert "$orv_work/idle.png" txt:- 2>/dev/null |
  awk -F'[,: ]+' '/#FF0000/ { if (!n++ || $1 < a) a = $1; if (n == 1 || $2 < b) b = $2;
                              if ($1 > c) c = $1; if ($2 > d) d = $2 } END { print a, b, c, d }')
echo "  red square: $x0,$y0 .. $x1,$y1"
orv_check "the movie shows its red square" [ -n "${x1:-}" ] && [ $((x1 - x0)) -gt 10 ]
cx=$(((x0 + x1) / 2 - 4))
cy=$(((y0 + y1) / 2 - 4))

# As the movie asks: roll over and out of the square, then over it again, as a hand
# would move (at its middle row, away from the small square in its corner).
glide() {  # glide <from x> <to x>
  for x in $(seq "$1" $(($2 > $1 ? 2 : -2)) "$2"); do
    xdotool mousemove --window "$main_id" "$x" "$cy"
    sleep 0.05
  done
}
glide $((x0 > 20 ? x0 - 20 : 1)) $((x1 + 10))
glide $((x1 + 10)) "$cx"
shoot over
orv_check "rolling over the square reaches the movie's scripts" differs idle over

# Press and hold, then let go.
xdotool mousedown 1
shoot pressed
orv_check "pressing on the square reaches the movie's scripts" differs over pressed
xdotool mouseup 1
shoot released
orv_check "letting go reaches the movie's scripts" differs pressed released

square_colour=$(convert "$orv_work/released.png" -format "%[fx:int(255*p{$((x0 + 2)),$((y0 + 2))}.r)],%[fx:int(255*p{$((x0 + 2)),$((y0 + 2))}.g)],%[fx:int(255*p{$((x0 + 2)),$((y0 + 2))}.b)]" info: 2>/dev/null)
echo "  the square after the click: $square_colour"
orv_check "the movie's scripts coloured the square yellow" [ "$square_colour" = "255,255,0" ]

kill -0 "$orv_program_pid" 2>/dev/null && orv_check "the program is still running" true
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

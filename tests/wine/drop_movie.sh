#!/usr/bin/env bash
# A movie file dropped on the main window plays, as when it is opened: dropped on the empty
# window (started without a movie), the button movie shows its red button. A text file or
# two movies at once change nothing.
#   tests/wine/drop_movie.sh <mingw build dir with orvanta-drop-file.exe>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
command -v python3 >/dev/null 2>&1 || exit 77
[ -f "$orv_build/orvanta-drop-file.exe" ] || exit 77
cp "$orv_build/orvanta-drop-file.exe" "$orv_app/"
python3 "$orv_src/tests/wine/make_button_movie.py" "$orv_app/button.swf" || exit 1
cp "$orv_app/button.swf" "$orv_app/other.swf"
echo "not a movie" >"$orv_app/notes.txt"

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
shoot() {
  sleep 1.5
  import -window "$main_id" "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/drop-movie-$1.png" 2>/dev/null
}
centre_is() {  # centre_is <picture> <r,g,b>
  local got
  got=$(convert "$orv_work/$1.png" -format "%[fx:int(255*p{$centre_x,$centre_y}.r)],%[fx:int(255*p{$centre_x,$centre_y}.g)],%[fx:int(255*p{$centre_x,$centre_y}.b)]" info: 2>/dev/null)
  echo "  centre of $1: $got"
  [ "$got" = "$2" ]
}
drop() { (cd "$orv_app" && wine orvanta-drop-file.exe "$@" 2>/dev/null | tr -d '\r'); }

orv_start
orv_check "main window is shown, empty" orv_wait_for 60 main_visible
main_id=$(main_window)
sleep 2
eval "$(xdotool getwindowgeometry --shell "$main_id")"
centre_x=$((WIDTH / 2))
centre_y=$((HEIGHT / 2 + 10))
xdotool mousemove 1000 750
shoot empty
orv_check "no movie: the middle is not the button's red" eval '! centre_is empty "255,0,0"'

orv_check "a text file is handed over" eval 'drop "C:\\Orvanta\\notes.txt" | grep -q dropped'
orv_check "two movies at once are handed over" \
  eval 'drop "C:\\Orvanta\\button.swf" "C:\\Orvanta\\other.swf" | grep -q dropped'
shoot ignored
orv_check "neither opened anything" eval '! centre_is ignored "255,0,0"'

orv_check "the movie is handed over" eval 'drop "C:\\Orvanta\\button.swf" | grep -q dropped'
shoot dropped
orv_check "the dropped movie plays: its button shows" centre_is dropped "255,0,0"

kill -0 "$orv_program_pid" 2>/dev/null && orv_check "the program is still running" true
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+q
orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

#!/usr/bin/env bash
# A movie's save lasts: the first run finds nothing, saves and stays white; its .sol file
# is then under %APPDATA%\Orvanta\SharedObjects by the movie's path; started again, the
# movie finds the save and covers the stage in black.
#   tests/wine/movie_save.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
command -v python3 >/dev/null 2>&1 || exit 77
python3 "$orv_src/tests/wine/make_save_movie.py" "$orv_app/saver.swf" || exit 1

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
shoot() {  # shoot <name>
  sleep 1
  import -window "$main_id" "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/movie-save-$1.png" 2>/dev/null
}
centre_is() {  # centre_is <picture> <r,g,b>
  local got
  got=$(convert "$orv_work/$1.png" -format \
    "%[fx:int(255*p{$centre_x,$centre_y}.r)],%[fx:int(255*p{$centre_x,$centre_y}.g)],%[fx:int(255*p{$centre_x,$centre_y}.b)]" \
    info: 2>/dev/null)
  echo "  centre of $1: $got"
  [ "$got" = "$2" ]
}
save_file() {
  find "$WINEPREFIX/drive_c/users" -path '*Orvanta/SharedObjects/C/Orvanta/saver.swf/run.sol' \
    2>/dev/null | head -1
}
save_written() { [ -n "$(save_file)" ]; }
run_once() {  # run_once <name> <r,g,b> <what>
  orv_start 'C:\Orvanta\saver.swf'
  orv_check "main window is shown with the movie ($1)" orv_wait_for 60 main_visible
  main_id=$(main_window)
  sleep 3
  eval "$(xdotool getwindowgeometry --shell "$main_id")"
  centre_x=$((WIDTH / 2))
  centre_y=$((HEIGHT / 2 + 10))
  xdotool mousemove 1000 750
  shoot "$1"
  orv_check "$3" centre_is "$1" "$2"
  xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers ctrl+q
  orv_wait_for 15 program_gone || kill "$orv_program_pid" 2>/dev/null
}

run_once first "255,255,255" "the first run finds no save: the stage stays white"
orv_check "the save is a .sol file under the movie's path" save_written
echo "  save: $(save_file)"
run_once second "0,0,0" "the second run finds the save: the stage is black"
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

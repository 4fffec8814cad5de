#!/usr/bin/env bash
# A movie named on the command line plays when the program starts, whether its path
# (with blanks in it) comes quoted or bare; a path that names no file shows no movie
# and leaves the program running. Pictures are compared with the window of a start
# without a movie.
#   tests/wine/command_line_movie.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
[ -f "$orv_build/demo.swf" ] || exit 77
command -v compare >/dev/null 2>&1 || exit 77

mkdir -p "$orv_app/my movies"
cp "$orv_build/demo.swf" "$orv_app/my movies/demo movie.swf"
movie='C:\Orvanta\my movies\demo movie.swf'

program_pid=
main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$program_pid" 2>/dev/null; }
# run_and_shoot <picture name> <wine arguments...>: starts the program, waits for its
# window, lets it run 3 seconds, takes a picture of the window and ends the program.
run_and_shoot() {
  local name=$1
  shift
  cd "$orv_app" || return 1
  wine orvanta.exe "$@" >/dev/null 2>&1 &
  program_pid=$!
  orv_wait_for 60 main_visible || { echo "  no window for $name"; return 1; }
  sleep 3
  # Move the pointer off the window so no hover state enters the picture.
  xdotool mousemove 1000 750
  sleep 0.5
  import -window "$(main_window)" "$orv_work/$name.png" 2>/dev/null
  cp "$orv_work/$name.png" "$orv_shots/command-line-$name.png" 2>/dev/null
  kill -0 "$program_pid" 2>/dev/null || { echo "  program ended by itself"; return 1; }
  xdotool key --clearmodifiers ctrl+q
  orv_wait_for 15 program_gone || { echo "  Exit did not end the program"; return 1; }
}
differing_pixels() {  # differing_pixels <a> <b>
  compare -metric AE -fuzz 2% "$orv_work/$1.png" "$orv_work/$2.png" null: 2>&1 | cut -d' ' -f1
}
differs() { local n; n=$(differing_pixels "$1" "$2"); echo "  $1 vs $2: $n pixels differ"; [ "${n%.*}" -gt 2000 ] 2>/dev/null; }
same() { local n; n=$(differing_pixels "$1" "$2"); echo "  $1 vs $2: $n pixels differ"; [ "${n%.*}" -lt "${3:-50}" ] 2>/dev/null; }

orv_check "a start without a movie shows the window" run_and_shoot empty
orv_check "a second start without a movie shows the window" run_and_shoot empty-again
orv_check "two starts without a movie give the same picture" same empty empty-again

# Wine quotes an argument with blanks when it builds the Windows command line.
orv_check "a start with the quoted path runs" run_and_shoot quoted "$movie"
orv_check "the quoted path's movie is shown" differs empty quoted
# Separate arguments are joined with blanks and no quotes: the bare path.
orv_check "a start with the bare path runs" run_and_shoot bare 'C:\Orvanta\my' 'movies\demo' 'movie.swf'
orv_check "the bare path's movie is shown" differs empty bare

orv_check "a start with a path that names no file runs" run_and_shoot missing 'C:\Orvanta\no such movie.swf'
# The movie area then carries a two-line message that the file cannot be played, and
# nothing of a movie.
orv_check "a path that names no file shows no movie, at most a short message" same empty missing 5000
orv_check "the message picture is not the movie picture" differs missing quoted

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

#!/usr/bin/env bash
# Video and speech sound on the real program: a movie whose stage is a Sorenson H.263
# stream (1 s of blue, then 1 s of yellow, left up when the movie stops) and which plays a
# speech sound of 440 Hz for 2 s (tests/movie/video/make_video_movie.py), once in
# Nellymoser and once in Speex. The picture is checked in a screenshot of the window, the
# sound in a capture of what Wine played.
#   tests/wine/movie_video.sh <mingw build dir>
set -u
command -v python3 >/dev/null 2>&1 || exit 77
command -v xdotool >/dev/null 2>&1 || exit 77
. "$(dirname "$0")/wine_env.sh" "$@"
. "$(dirname "$0")/sound_env.sh"

python3 "$orv_src/tests/movie/video/make_video_movie.py" "$orv_app/nellymoser.swf" nellymoser || exit 1
python3 "$orv_src/tests/movie/video/make_video_movie.py" "$orv_app/speex.swf" speex || exit 1
mkdir -p "$orv_work/home"
export HOME="$orv_work/home"

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
# colour_at <picture> <x> <y>: "r g b" of a pixel
colour_at() {
  convert "$orv_work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
# colour_near <picture> <r> <g> <b>: the middle of the window is that colour, give or take
# what the codec's quantising leaves.
colour_near() {
  local got
  got=$(colour_at "$1" "$centre_x" "$centre_y")
  echo "  middle of $1: $got"
  set -- $got "$2" "$3" "$4"
  [ $# -eq 6 ] && near "$1" "$4" 24 && near "$2" "$5" 24 && near "$3" "$6" 24
}

play_and_check() {  # play_and_check <codec>
  unset valid rms pitch tone
  route_to "$orv_work/$1.wav"
  orv_start "C:\\Orvanta\\$1.swf"
  orv_check "$1: main window is shown with the movie" orv_wait_for 60 main_visible
  main_id=$(main_window)
  eval "$(xdotool getwindowgeometry --shell "$main_id")"
  centre_x=$((WIDTH / 2))
  centre_y=$((HEIGHT / 2 + 10))
  sleep 5
  import -window "$main_id" "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/movie-video-$1.png" 2>/dev/null
  orv_check "$1: the video's last frame, yellow, is left up" colour_near "$1" 224 192 32

  xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers ctrl+q
  orv_wait_for 15 program_gone || { echo "  Exit did not end the program"; kill "$orv_program_pid" 2>/dev/null; }
  wineserver -w
  eval "$(analyse "$orv_work/$1.wav")"
  echo "  $1: ${seconds:-?} s captured at ${rate:-?} Hz; ${tone:-?} s of ${pitch:-?} Hz tone, RMS ${rms:-?}"
  orv_check "$1: the sound was captured" test "${valid:-0}" = 1
  orv_check "$1: it is the 440 Hz tone" near "${pitch:-0}" 440 6
  orv_check "$1: it is not silent (RMS > 0.05)" above "${rms:-0}" 0.05
  orv_check "$1: it plays four times over (2 s of tone, within a fifth)" near "${tone:-0}" 2.0 0.4
}

play_and_check nellymoser
play_and_check speex

[ -n "${ORV_SOUND_KEEP:-}" ] && cp "$orv_work"/*.wav "$ORV_SOUND_KEEP"/ 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

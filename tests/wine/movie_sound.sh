#!/usr/bin/env bash
# Movie sound on the real program: a movie with a stream sound and one with event sounds
# play through orvanta.exe (waveOut, Wine's winealsa) into a WAV file, and the sound is
# checked: not silent, the right pitch, as long as the movie makes it (within two frames),
# and a looping stream goes quiet when Close (Ctrl+W) empties the window.
# ALSA is routed to a file (an .asoundrc with a `file` PCM in the test's own HOME). One
# sound stream writes it: the intro movie, when built, is shipped beside the program and
# plays first in the main window's movie control, and the movie named on the command line
# then plays in that same control through the same output.
# The movies come from tests/movie/sound/make_sound_movies.py (10 fps):
#   stream.swf  0.5 s quiet, 2 s of a 440 Hz stream sound, then the movie stops itself
#   events.swf  0.5 s of 880 Hz from frame 0 and again from frame 10, then it stops
#   loop.swf    the 440 Hz stream without the stop: it loops until closed
#   tests/wine/movie_sound.sh <mingw build dir>
set -u
command -v python3 >/dev/null 2>&1 || exit 77
command -v xdotool >/dev/null 2>&1 || exit 77
. "$(dirname "$0")/wine_env.sh" "$@"
. "$(dirname "$0")/sound_env.sh"

python3 "$orv_src/tests/movie/sound/make_sound_movies.py" "$orv_app" || exit 1
[ -f "$orv_build/Lumvex.swf" ] && cp "$orv_build/Lumvex.swf" "$orv_app/"
mkdir -p "$orv_work/home"
export HOME="$orv_work/home"

program_pid=
main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$program_pid" 2>/dev/null; }
start_with() {  # start_with <movie file in the program folder>
  (cd "$orv_app" && exec wine orvanta.exe "C:\\Orvanta\\$1" >/dev/null 2>&1) &
  program_pid=$!
  orv_wait_for 60 main_visible
}
keys() {
  xdotool windowactivate --sync "$(main_window)" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers "$@"
}
quit_program() {
  keys ctrl+q
  orv_wait_for 15 program_gone || { echo "  Exit did not end the program"; kill "$program_pid" 2>/dev/null; }
  wineserver -w
}
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

# 1. The stream sound: 2 s of 440 Hz (after 0.5 s without), then the movie stops.
route_to "$orv_work/stream.wav"
orv_check "the stream movie starts" start_with stream.swf
sleep 5
orv_shot movie-sound-stream
quit_program
eval "$(analyse "$orv_work/stream.wav")"
echo "  stream: ${seconds:-?} s captured at ${rate:-?} Hz; ${tone:-?} s of ${pitch:-?} Hz tone, RMS ${rms:-?}"
orv_check "stream sound was captured" test "${valid:-0}" = 1
orv_check "the stream is not silent (RMS > 0.2)" above "${rms:-0}" 0.2
orv_check "the stream is the 440 Hz tone" near "${pitch:-0}" 440 4
orv_check "the stream plays its 20 frames once (2 s of tone, within two frames)" near "${tone:-0}" 2.0 0.2

# 2. Event sounds: 0.5 s at 0 s and again at 1 s.
unset valid rms pitch tone quiet
route_to "$orv_work/events.wav"
orv_check "the event movie starts" start_with events.swf
sleep 4
quit_program
eval "$(analyse "$orv_work/events.wav")"
echo "  events: ${seconds:-?} s captured; ${tone:-?} s of ${pitch:-?} Hz tone, RMS ${rms:-?}; ${quiet:-?} s quiet between"
orv_check "event sounds were captured" test "${valid:-0}" = 1
orv_check "the event sounds are the 880 Hz tone" near "${pitch:-0}" 880 8
orv_check "the event sounds are not silent (RMS > 0.2)" above "${rms:-0}" 0.2
orv_check "both sounds play whole (1 s of tone, within two frames)" near "${tone:-0}" 1.0 0.2
# Half a second of real time between them; the capture may run faster, not slower.
orv_check "silence between the two sounds" above "${quiet:-0}" 0.4

# 3. A looping stream plays on until Close empties the window; then nothing is heard.
unset valid rms pitch tone quiet
route_to "$orv_work/loop.wav"
orv_check "the looping movie starts" start_with loop.swf
sleep 4
closed_at=$(size_of "$orv_work/loop.wav")
keys ctrl+w
sleep 3
orv_shot movie-sound-closed
quit_program
eval "$(analyse "$orv_work/loop.wav")"
echo "  loop: ${seconds:-?} s captured; ${tone:-?} s of ${pitch:-?} Hz tone; closed at byte $closed_at"
orv_check "the looping stream was captured" test "${valid:-0}" = 1
orv_check "the stream loops past the movie's 2 s" above "${tone:-0}" 2.5
# What was written after Close, less a second of what was already on its way.
skip=$(awk -v b="$closed_at" -v r="${rate:-48000}" -v a="${align:-8}" 'BEGIN { printf "%d", b + r * a }')
after=$(analyse "$orv_work/loop.wav" "$skip" | tr ' ' '\n' | sed -n 's/^loud_count=//p')
echo "  loud samples written after Close: ${after:-?}"
orv_check "Close silences the stream" test "${after:-1}" = 0

# ORV_SOUND_KEEP=<folder> keeps the captures for a look.
[ -n "${ORV_SOUND_KEEP:-}" ] && cp "$orv_work"/*.wav "$ORV_SOUND_KEEP"/ 2>/dev/null
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]

#!/bin/sh
# Makes the small MP3 test signals kept beside this script (needs sox and lame):
#   tone440_mono_22k.mp3   1 s of 440 Hz, mono, 22050 Hz (MPEG-2), 32 kbit/s
#   tones_stereo_44k.mp3   0.5 s, 1000 Hz left and 500 Hz right, 44100 Hz (MPEG-1), 128 kbit/s
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -R -n -r 22050 -c 1 -b 16 "$work/a.wav" synth 1 sine 440 vol 0.5
lame --quiet --noreplaygain -b 32 "$work/a.wav" "$here/tone440_mono_22k.mp3"
sox -R -n -r 44100 -c 2 -b 16 "$work/b.wav" synth 0.5 sine 1000 sine 500 vol 0.5
lame --quiet --noreplaygain -b 128 --resample 44.1 -m s "$work/b.wav" "$here/tones_stereo_44k.mp3"

#!/bin/sh
# Makes lumvex.mp3, the about box's music: a plucked arpeggio over
# C - Am - F - G with a soft bass, about six seconds, fading out so that
# it loops without a click. Needs sox and lame (Debian packages).
# Usage: assets/lumvex/make.sh [output.mp3]   (default: beside this script)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/lumvex.mp3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate=44100
step=0.2          # seconds between arpeggio notes
# Four chords, eight notes each (root, third, fifth, octave, up and down).
chords="C4:E4:G4:C5:E5:C5:G4:E4 A3:C4:E4:A4:C5:A4:E4:C4 F3:A3:C4:F4:A4:F4:C4:A3 G3:B3:D4:G4:B4:G4:D4:B3"
basses="C2 A1 F1 G1"

n=0
chord_index=0
for chord in $chords; do
  chord_start=$(awk "BEGIN{print $chord_index * 8 * $step}")
  bass=$(echo $basses | cut -d' ' -f$((chord_index + 1)))
  sox -R -n -r $rate -c 1 "$work/b$chord_index.wav" synth 1.7 triangle "$bass" \
    fade q 0.02 1.7 0.9 vol 0.5 pad "$chord_start"
  i=0
  for note in $(echo "$chord" | tr ':' ' '); do
    start=$(awk "BEGIN{print $chord_start + $i * $step}")
    sox -R -n -r $rate -c 1 "$work/n$(printf %03d $n).wav" synth 0.9 pluck "$note" \
      fade q 0.003 0.9 0.7 pad "$start"
    i=$((i + 1))
    n=$((n + 1))
  done
  chord_index=$((chord_index + 1))
done

# Mix everything, widen with a short stereo echo, add a little room, even the level
# and fade the tail so the last bar rings out into silence.
sox -R -m "$work"/n*.wav "$work"/b*.wav -c 1 "$work/mono.wav" norm -3
sox -R "$work/mono.wav" -c 2 "$work/stereo.wav" remix 1 1 reverb 35 50 60 \
  trim 0 7.0 fade q 0.01 7.0 0.8 norm -1
lame --quiet --noreplaygain -b 128 -q 2 --tt Lumvex "$work/stereo.wav" "$out"
echo "wrote $out"

#!/bin/sh
# Plays lumvex.mp3 through the Windows sound path under Wine and checks that the sound
# that comes out is the music, not silence. ALSA is routed to a WAV file: a fresh HOME
# holds an .asoundrc whose default PCM is the `file` plugin, and Wine's winealsa driver
# writes everything it plays there.
#   tests/wine/audio_capture.sh <mingw build dir with audio_probe.exe>
# Needs wine, Xvfb and sox. Exit code 0 when every check passes, 77 (skipped) when a
# tool or the probe is missing.
set -eu
build=$(cd "${1:?usage: $0 <mingw build dir>}" 2>/dev/null && pwd) || exit 77
for tool in wine wineserver Xvfb sox; do command -v "$tool" >/dev/null 2>&1 || exit 77; done
[ -f "$build/audio_probe.exe" ] || exit 77
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/orv-audio.XXXXXX)
xvfb_pid=
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/home" "$work/app"
cp "$build/audio_probe.exe" "$src/assets/lumvex/lumvex.mp3" \
   "$src/tests/movie/sound/data/tone440_mono_22k.mp3" "$src/tests/movie/sound/data/tones_stereo_44k.mp3" \
   "$work/app/"
cat > "$work/home/.asoundrc" <<ASOUND
pcm.!default {
  type file
  slave.pcm "null"
  file "$work/capture.wav"
  format "wav"
}
ASOUND

export HOME="$work/home" WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
. "$src/tests/wine/prefix.sh"
orv_boot_prefix || { echo "Wine could not boot a prefix"; exit 1; }
cd "$work/app"

failures=0
check() {  # check <description> <condition...>
  what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
value() { grep "^$1: " "$2" | head -1 | cut -d' ' -f2; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# 1. The ACM decoder: rate, channels and pitch of known tones.
wine audio_probe.exe decode tone440_mono_22k.mp3 | tr -d '\r' > mono.txt || true
check "mono MPEG-2 tone: 22050 Hz, 1 channel, 440 Hz" \
  sh -c "[ '$(value rate mono.txt)' = 22050 ] && [ '$(value channels mono.txt)' = 1 ]"
check "mono tone pitch" near "$(value pitch mono.txt || echo 0)" 440 3
wine audio_probe.exe decode tones_stereo_44k.mp3 | tr -d '\r' > stereo.txt || true
check "stereo MPEG-1 tone: 44100 Hz, 2 channels, 1000 Hz left" \
  sh -c "[ '$(value rate stereo.txt)' = 44100 ] && [ '$(value channels stereo.txt)' = 2 ]"
check "stereo tone pitch" near "$(value pitch stereo.txt || echo 0)" 1000 3

# Damaged files: an error or some sound, never a crash (exit codes 0 or 1 only).
head -c 50000 lumvex.mp3 > cut.mp3
cp lumvex.mp3 damaged.mp3
for at in 3000 9000 20000 33333 60000 90000; do
  printf '\377\373\220\144\000\377\022\345' | dd of=damaged.mp3 bs=1 seek=$at conv=notrunc 2>/dev/null
done
head -c 30000 /dev/urandom > noise.mp3
for f in cut.mp3 damaged.mp3 noise.mp3; do
  rc=0
  wine audio_probe.exe decode "$f" > "$f.raw" || rc=$?
  tr -d '\r' < "$f.raw" > "$f.txt"
  check "$f decodes or fails cleanly (exit $rc: $(head -1 "$f.txt"))" [ "$rc" -le 1 ]
done
check "a cut file is an error" grep -q "^error:" cut.mp3.txt

# 2. Playing through waveOut with a busy main thread.
wine audio_probe.exe play lumvex.mp3 4 | tr -d '\r' > play.txt || true
cat play.txt
wineserver -w
check "a sound device was found" [ "$(value device play.txt)" = yes ]
check "the music started at once" [ "$(value playing play.txt)" = 1 ]
check "audio was captured" [ -s "$work/capture.wav" ]
sox "$work/capture.wav" -n stat 2> stat.txt || true
rms=$(awk '/RMS +amplitude/ { print $3 }' stat.txt)
peak=$(awk '/Maximum amplitude/ { print $3 }' stat.txt)
length=$(awk '/Length \(seconds\)/ { print $3 }' stat.txt)
echo "capture: ${length:-?} s, RMS ${rms:-?}, peak ${peak:-?}"
check "the capture is not silent (RMS > 0.05)" above "${rms:-0}" 0.05
# At volume 0 the music reaches the output unchanged: its peak is the file's own (0.826).
check "the capture peaks as the music does" near "${peak:-0}" 0.826 0.03
check "more than one second was captured" above "${length:-0}" 1

# 3. No sound device (ALSA's default points at a card that does not exist): the music
# "plays" silently and nothing fails.
mkdir -p "$work/home-nodevice"
printf 'pcm.!default {\n  type hw\n  card 31\n}\nctl.!default {\n  type hw\n  card 31\n}\n' \
  > "$work/home-nodevice/.asoundrc"
rc=0
HOME="$work/home-nodevice" wine audio_probe.exe play lumvex.mp3 1 > nodevice.raw || rc=$?
tr -d '\r' < nodevice.raw > nodevice.txt
check "without a device: no error (exit $rc), no device, still playing" \
  sh -c "[ $rc = 0 ] && [ '$(value device nodevice.txt)' = no ] && [ '$(value playing nodevice.txt)' = 1 ]"

[ "$failures" -eq 0 ] && echo "all audio checks passed" || echo "$failures audio check(s) failed"
exit "$failures"

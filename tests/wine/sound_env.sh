# Sourced by the Wine tests that listen to the program: routing Wine's sound to a WAV
# file, and measuring what it holds.

# route_to <wav>: everything Wine plays from now on goes to <wav>.
route_to() {
  cat > "$HOME/.asoundrc" <<ASOUND
pcm.!default {
  type file
  slave.pcm "null"
  file "$1"
  format "wav"
}
ASOUND
}

# analyse <wav> [from byte]: facts about the sound in the file, as shell assignments.
# ALSA's null slave has no clock: Wine plays into it faster than real time, and a stream
# that runs dry waits in silence more often than on a sound card. So lengths are measured
# in tone: the upward zero crossings divided by the pitch (taken from the spacing of
# neighbouring crossings) are the seconds of tone that were played, whatever the gaps.
# The header's lengths may be stale (the file is read while written): the data runs to
# the end of the file.
analyse() {
  [ -s "$1" ] || { echo "valid=0"; return; }
  python3 - "$@" <<'PY'
import math, struct, sys
data = open(sys.argv[1], "rb").read() if len(sys.argv) > 1 else b""
start_byte = int(sys.argv[2]) if len(sys.argv) > 2 else 0
pos, fmt, body = 12, None, None
while pos + 8 <= len(data):
    cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
    if cid == b"fmt ":
        fmt = struct.unpack("<HHIIHH", data[pos + 8:pos + 24])
    if cid == b"data":
        body = pos + 8
        break
    pos += 8 + size
if not fmt or body is None:
    print("valid=0"); sys.exit()
tag, channels, rate, _, align, bits = fmt
if start_byte > body:
    body += (start_byte - body) // align * align
raw = data[body:len(data) - (len(data) - body) % align]
if tag == 3 and bits == 32:
    vals = struct.unpack("<%df" % (len(raw) // 4), raw)
elif bits == 16:
    vals = [v / 32768 for v in struct.unpack("<%dh" % (len(raw) // 2), raw)]
else:
    print("valid=0"); sys.exit()
left = vals[::channels]
loud = [i for i, v in enumerate(left) if abs(v) > 0.05]
ups, armed = [], False
for i in range(1, len(left)):
    if left[i] < -0.05:
        armed = True
    if armed and left[i - 1] < 0 <= left[i]:
        ups.append(i)
        armed = False
steps = sorted(b - a for a, b in zip(ups, ups[1:]))
pitch = rate / steps[len(steps) // 2] if steps else 0.0
tone = len(ups) / pitch if pitch else 0.0
rms = math.sqrt(sum(left[i] ** 2 for i in loud) / len(loud)) if loud else 0.0
# The longest quiet stretch between the first and the last loud sample.
quiet, run = 0, 0
for v in left[loud[0]:loud[-1]] if loud else []:
    run = run + 1 if abs(v) < 0.01 else 0
    quiet = max(quiet, run)
print("valid=1 rate=%d channels=%d align=%d seconds=%.3f" % (rate, channels, align, len(left) / rate))
print("pitch=%.1f tone=%.3f rms=%.3f quiet=%.3f loud_count=%d" % (pitch, tone, rms, quiet / rate, len(loud)))
PY
}
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }


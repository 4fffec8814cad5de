#!/usr/bin/env python3
"""Runs `orvanta-render MOVIE --frames N --audio-out FILE.wav` on movies with known sound
(make_sound_movies.py) and checks the WAV: its length, where it is loud and where silent,
and the pitch of what plays.

Usage: render_audio_check.py PATH/TO/orvanta-render
Prints one line per check and 'N passed, N failed'; exits non-zero on a failure.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_sound_movies  # noqa: E402

results = []


def check(what, ok, detail=""):
    results.append(ok)
    print(("ok   " if ok else "FAIL ") + what + (" (" + detail + ")" if detail else ""))


def read_left(path):
    with wave.open(path, "rb") as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        data = w.readframes(w.getnframes())
    assert width == 2, "16-bit output expected"
    samples = struct.unpack("<%dh" % (len(data) // 2), data)
    return rate, channels, list(samples[::channels])


def rms(s):
    return math.sqrt(sum(v * v for v in s) / len(s)) if s else 0.0


def pitch(s, rate):
    ups = [i for i in range(1, len(s)) if s[i - 1] < 0 <= s[i]]
    return (len(ups) - 1) * rate / (ups[-1] - ups[0]) if len(ups) > 2 else 0.0


def loud_span(s, rate, threshold=1000):
    """Seconds from the first to the last sample above the threshold."""
    loud = [i for i, v in enumerate(s) if abs(v) > threshold]
    return (loud[0] / rate, loud[-1] / rate) if loud else (None, None)


def render(tool, movie, frames, wav):
    done = subprocess.run([tool, movie, "--frames", str(frames), "--audio-out", wav],
                          capture_output=True, text=True, timeout=120)
    return done.returncode, done.stderr.strip()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    tool = sys.argv[1]
    frame = 1.0 / make_sound_movies.FPS
    with tempfile.TemporaryDirectory() as work:
        for name, data in (("stream.swf", make_sound_movies.stream_movie(True)),
                           ("events.swf", make_sound_movies.events_movie())):
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)

        # The stream: quiet for 0.5 s, 2 s of 440 Hz, then the movie stops and so does its sound.
        lead = make_sound_movies.STREAM_LEAD * frame
        wav = os.path.join(work, "stream.wav")
        rc, err = render(tool, os.path.join(work, "stream.swf"), 35, wav)
        check("stream movie renders", rc == 0, err)
        if rc == 0:
            rate, channels, left = read_left(wav)
            check("stereo output", channels == 2, str(channels))
            check("35 frames of sound", abs(len(left) / rate - 35 * frame) <= 2 * frame, "%.3f s" % (len(left) / rate))
            first, last = loud_span(left, rate)
            check("the stream starts with its first block", first is not None and abs(first - lead) < frame, str(first))
            check("the stream lasts its 20 frames", last is not None and abs(last - first - 20 * frame) <= 2 * frame,
                  "%s..%s" % (first, last))
            body = left[int((lead + 0.2) * rate):int((lead + 1.8) * rate)]
            check("the stream is loud", rms(body) > 0.3 * 16384 / math.sqrt(2), "RMS %.0f" % rms(body))
            check("the stream is the 440 Hz tone", abs(pitch(body, rate) - 440) < 2, "%.1f Hz" % pitch(body, rate))
            tail = left[int((lead + 2.2) * rate):]
            check("silent after the stop", rms(tail) < 50, "RMS %.1f" % rms(tail))

        # Fewer frames than the movie: the WAV is as long as the frames asked for.
        rc, err = render(tool, os.path.join(work, "stream.swf"), 12, wav)
        if rc == 0:
            rate, _, left = read_left(wav)
            check("12 frames give 1.2 s", abs(len(left) / rate - 12 * frame) <= 2 * frame, "%.3f s" % (len(left) / rate))
            check("and are not silent", rms(left[int(lead * rate):]) > 5000, "RMS %.0f" % rms(left[int(lead * rate):]))
        else:
            check("stream movie renders 7 frames", False, err)

        # Event sounds: 0.5 s of 880 Hz from frames 0 and 10.
        wav = os.path.join(work, "events.wav")
        rc, err = render(tool, os.path.join(work, "events.swf"), 20, wav)
        check("event movie renders", rc == 0, err)
        if rc == 0:
            rate, _, left = read_left(wav)
            check("20 frames of sound", abs(len(left) / rate - 20 * frame) <= 2 * frame, "%.3f s" % (len(left) / rate))
            def part(a, b):
                return left[int(a * rate):int(b * rate)]
            check("the first sound plays", rms(part(0.05, 0.45)) > 8000, "RMS %.0f" % rms(part(0.05, 0.45)))
            check("it is the 880 Hz tone", abs(pitch(part(0.05, 0.45), rate) - 880) < 3,
                  "%.1f Hz" % pitch(part(0.05, 0.45), rate))
            check("silence between the two", rms(part(0.55, 0.95)) < 50, "RMS %.1f" % rms(part(0.55, 0.95)))
            check("the second sound plays from frame 10", rms(part(1.05, 1.45)) > 8000, "RMS %.0f" % rms(part(1.05, 1.45)))
            first, last = loud_span(part(0.55, 2.0), rate)
            check("the second sound starts at 1.0 s and ends at 1.5 s",
                  first is not None and abs(first + 0.55 - 1.0) <= frame and abs(last + 0.55 - 1.5) <= frame,
                  "%s..%s" % (first, last))

        # A damaged movie: an error, no crash, no WAV to rely on.
        with open(os.path.join(work, "cut.swf"), "wb") as f:
            f.write(make_sound_movies.stream_movie(True)[:5000])
        rc, err = render(tool, os.path.join(work, "cut.swf"), 30, os.path.join(work, "cut.wav"))
        check("a cut movie gives no crash", rc in (0, 1), "exit %d" % rc)

    failed = results.count(False)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

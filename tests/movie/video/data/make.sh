#!/bin/sh
# Makes the small video and speech test streams kept beside this script, as FLV files
# (needs Debian's ffmpeg program):
#   h263.flv      6 frames of ffmpeg's test picture, 64x48, Sorenson H.263, key frames 0 and 4
#   flashsv.flv   the same in Screen Video, key frames 0 and 4
#   nelly16.flv   0.5 s of 440 Hz at 16 kHz, Nellymoser
#   nelly11.flv   0.5 s of 440 Hz at 11025 Hz, Nellymoser
#   speex.flv     0.5 s of 440 Hz at 16 kHz, Speex (wideband)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
ff="ffmpeg -v error -y -bitexact"
$ff -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 6 -c:v flv -g 4 "$here/h263.flv"
$ff -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 6 -c:v flashsv -g 4 "$here/flashsv.flv"
$ff -f lavfi -i sine=frequency=440:sample_rate=16000:duration=0.5 -c:a nellymoser -f flv "$here/nelly16.flv"
$ff -f lavfi -i sine=frequency=440:sample_rate=11025:duration=0.5 -c:a nellymoser -f flv "$here/nelly11.flv"
$ff -f lavfi -i sine=frequency=440:sample_rate=16000:duration=0.5 -c:a libspeex -f flv "$here/speex.flv"

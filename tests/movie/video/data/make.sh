#!/bin/sh
# Makes the small video and speech test streams kept beside this script, as FLV files
# (needs Debian's ffmpeg program):
#   h263.flv      6 frames of ffmpeg's test picture, 64x48, Sorenson H.263, key frames 0 and 4
#   flashsv.flv   the same in Screen Video, key frames 0 and 4
#   nelly16.flv   0.5 s of 440 Hz at 16 kHz, Nellymoser
#   nelly11.flv   0.5 s of 440 Hz at 11025 Hz, Nellymoser
#   speex.flv     0.5 s of 440 Hz at 16 kHz, Speex (wideband)
#   blue_yellow.flv  (below)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
ff="ffmpeg -v error -y -bitexact"
$ff -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 6 -c:v flv -g 4 "$here/h263.flv"
$ff -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 6 -c:v flashsv -g 4 "$here/flashsv.flv"
$ff -f lavfi -i sine=frequency=440:sample_rate=16000:duration=0.5 -c:a nellymoser -f flv "$here/nelly16.flv"
$ff -f lavfi -i sine=frequency=440:sample_rate=11025:duration=0.5 -c:a nellymoser -f flv "$here/nelly11.flv"
$ff -f lavfi -i sine=frequency=440:sample_rate=16000:duration=0.5 -c:a libspeex -f flv "$here/speex.flv"
# 2 s at 10 fps, 64x48, Sorenson H.263: 1 s of blue (32, 80, 192), then 1 s of yellow
# (224, 192, 32), for the program's own video test.
$ff -filter_complex "color=c=0x2050C0:s=64x48:r=10:d=1[a];color=c=0xE0C020:s=64x48:r=10:d=1[b];[a][b]concat" \
  -c:v flv -g 10 "$here/blue_yellow.flv"

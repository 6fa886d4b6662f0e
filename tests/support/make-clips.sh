#!/usr/bin/env bash
# Generates the test clips into the folder given as first argument.
#
# Every picture carries its frame number as a row of 16 blocks across the top
# eighth of the picture on a black bar: block i (from the left) is white when
# bit i of the frame number is set. Tests read the number back to tell which
# frame came out. All clips run at 25 frames per second, so frame n starts at
# n * 40 ms after the first frame.
#
# With "bench" as second argument it makes the long 1080p clip of the
# benchmarks instead.
set -euo pipefail

out=$1
mode=${2:-tests}
mkdir -p "$out"
cd "$out"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

marks="drawbox=x=0:y=0:w=iw:h=ih/8:color=black:t=fill"
for i in $(seq 0 15); do
    marks+=",drawbox=x=iw*$i/16+2:y=2:w=iw/16-4:h=ih/8-4:color=white:t=fill:enable='mod(floor(n/pow(2\,$i))\,2)'"
done

# source SIZE SECONDS: a moving test picture with the frame number drawn on it.
source() { echo "testsrc2=size=$1:rate=25:duration=$2,$marks"; }
tone() { echo "sine=frequency=440:sample_rate=48000:duration=$1"; }

if [ "$mode" = bench ]; then
    ff -f lavfi -i "$(source 1920x1080 60)" -c:v libx264 -preset veryfast -g 250 -bf 3 \
        -pix_fmt yuv420p long-gop-1080p.mp4
    exit 0
fi

# H.264 with B-frames and a GOP of four seconds, with an audio track interleaved.
ff -f lavfi -i "$(source 320x240 12)" -f lavfi -i "$(tone 12)" \
    -c:v libx264 -preset veryfast -g 100 -bf 3 -pix_fmt yuv420p -c:a aac -shortest h264-bframes.mp4
# Small clips with a key frame every 10 s, for batch schedules: a position
# p (not within 500 ms after a key frame) gives frame ceil(p / 40).
ff -f lavfi -i "$(source 160x120 60)" -c:v libx264 -preset ultrafast -g 250 -pix_fmt yuv420p h264-60s.mp4
ff -f lavfi -i "$(source 160x120 10)" -c:v libx264 -preset ultrafast -g 250 -pix_fmt yuv420p h264-10s.mp4
# One key frame in ten seconds of 720p: reaching the last frame takes a while.
ff -f lavfi -i "$(source 1280x720 10)" -c:v libx264 -preset ultrafast -g 250 -pix_fmt yuv420p long-gop-720p.mp4
ff -f lavfi -i "$(source 320x240 4)" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 50 vp9.webm
ff -f lavfi -i "$(source 320x240 4)" -c:v libx265 -preset ultrafast -pix_fmt yuv420p10le \
    -x265-params log-level=error:keyint=50:bframes=4 hevc10.mkv
# MPEG-TS starts its clock at 1.4 s.
ff -f lavfi -i "$(source 320x240 6)" -c:v libx264 -preset veryfast -g 50 -bf 2 -pix_fmt yuv420p h264.ts
# Stored 320x240, shown turned a quarter (portrait, 240x320). The encoder
# drops the rotation tag, so it is set on a second pass that copies the stream.
ff -f lavfi -i "$(source 320x240 2)" -c:v libx264 -preset veryfast -pix_fmt yuv420p upright.mp4
ff -i upright.mp4 -c copy -metadata:s:v:0 rotate=90 rotated.mp4
rm upright.mp4
# Stored 160x240 with pixels twice as wide as high: shown 320x240.
ff -f lavfi -i "$(source 160x240 2),setsar=2" -c:v libx264 -preset veryfast -pix_fmt yuv420p anamorphic.mp4
# Flat colour, converted with the HD matrix and left untagged, as many cameras do.
ff -f lavfi -i "color=c=0xC83214:size=1280x720:rate=25:duration=1" \
    -vf "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p" -c:v libx264 -preset veryfast \
    colour-hd-untagged.mp4
ff -f lavfi -i "color=c=0xC83214:size=1280x720:rate=25:duration=1" \
    -vf "scale=out_color_matrix=bt709:out_range=pc,format=yuvj420p" -c:v libx264 -preset veryfast \
    -colorspace bt709 -color_range pc colour-hd-full.mp4
ff -f lavfi -i "color=c=0xC83214:size=320x240:rate=25:duration=1" \
    -vf "scale=out_color_matrix=bt601:out_range=tv,format=yuv420p" -c:v libx264 -preset veryfast \
    colour-sd-untagged.mp4

ff -f lavfi -i "$(tone 2)" -c:a aac audio-only.m4a
: > empty.mp4
LC_ALL=C awk 'BEGIN { srand(42); for (i = 0; i < 16384; i++) printf "%c", int(rand() * 256) }' > random.mp4
# Index at the front, second half of the data gone.
ff -i h264-bframes.mp4 -c copy -movflags +faststart faststart.mp4
size=$(stat -c %s faststart.mp4)
head -c $((size / 2)) faststart.mp4 > truncated.mp4
rm faststart.mp4
mkdir -p "dossier à part"
cp vp9.webm "dossier à part/vidéo d'été ü.webm"

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
# The same turned the other way.
ff -i upright.mp4 -c copy -metadata:s:v:0 rotate=270 rotated-other-way.mp4
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

# Every container with audio beside the video, for positions from the start.
# Copies of h264-bframes.mp4: its audio starts 21 ms before the video in MKV
# and TS, where the TS clock starts at 1.46 s.
ff -i h264-bframes.mp4 -c copy h264-aac.mkv
ff -i h264-bframes.mp4 -c copy h264-aac.mov
ff -i h264-bframes.mp4 -c copy h264-aac.ts
ff -i h264-bframes.mp4 -c:v copy -c:a libvorbis h264-vorbis.mkv
# Opus starts before the video, at a negative time.
ff -f lavfi -i "$(source 320x240 4)" -f lavfi -i "$(tone 4)" \
    -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 50 -c:a libopus vp9-opus.webm
ff -f lavfi -i "$(source 320x240 4)" -f lavfi -i "$(tone 4)" -c:v mpeg4 -q:v 4 -g 50 -c:a libmp3lame mpeg4-mp3.avi
# Four seconds of video, and audio from 0.5 s to 6 s: the video starts first
# and ends 2 s before the file.
ff -f lavfi -i "$(source 320x240 4)" -itsoffset 0.5 -f lavfi -i "$(tone 5.5)" \
    -c:v libx264 -preset veryfast -g 50 -bf 2 -pix_fmt yuv420p -c:a aac audio-longer.mkv
# Audio from 0 s, video from 1 s to 3 s.
ff -itsoffset 1 -f lavfi -i "$(source 320x240 2)" -f lavfi -i "$(tone 3)" \
    -c:v libx264 -preset veryfast -g 50 -pix_fmt yuv420p -c:a aac late-video.mkv

# Ways people make clips and containers that keep time their own way.
# Cut with stream copy at 5.3 s: the key frame before the cut lies before the
# start (negative time), and the first frame shown is frame 133 (5.32 s).
ff -ss 5.3 -i h264-bframes.mp4 -map 0:v -c copy cut.mp4
# MP4 whose video starts 3 s in (an empty edit).
ff -itsoffset 3 -i h264-10s.mp4 -map 0:v -c copy late-start.mp4
# Every frame a key frame; AVI's index converts times to whole frames.
ff -f lavfi -i "$(source 160x120 2)" -c:v mjpeg -q:v 8 mjpeg.avi
# 50 frames per second with a key frame every 12: frame n at n * 20 ms.
ff -f lavfi -i "testsrc2=size=160x120:rate=50:duration=3,$marks" -c:v libx264 -preset ultrafast -g 12 \
    -pix_fmt yuv420p short-gop-50fps.ts
# MPEG program stream: key frames' packets come without a presentation time.
ff -f lavfi -i "$(source 160x120 4)" -c:v mpeg2video -q:v 4 -g 12 -bf 2 program-stream.mpg
# Raw H.264 and HEVC (with B-frames, closed groups of pictures) without a
# container: no duration, no index, no times.
ff -i h264-10s.mp4 -c copy -bsf:v h264_mp4toannexb -f h264 raw.h264
ff -f lavfi -i "$(source 320x240 6)" -c:v libx265 -preset ultrafast -pix_fmt yuv420p \
    -x265-params log-level=error:keyint=50:bframes=4:open-gop=0 -f hevc raw.hevc
# Shot detection (320x180; the transitions of each are listed in shotclips.cpp).
# shot KIND FRAMES: that many frames of a generated source, to join to others.
shot() {
    local size=320x180 src
    case $1 in
    testsrc2) src="testsrc2=size=$size:rate=25" ;;
    bars) src="smptehdbars=size=$size:rate=25" ;;
    mandelbrot) src="mandelbrot=size=$size:rate=25:start_scale=1.5" ;;
    life) src="life=size=$size:rate=25:mold=10:ratio=0.25:seed=7:life_color=#F0C040:death_color=#203060:mold_color=#60A030" ;;
    gradients) src="gradients=size=$size:rate=25:speed=0.03:seed=3:n=3:c0=0x2060C0:c1=0xF0A020:c2=0xE0E0E0" ;;
    esac
    echo "$src,trim=end_frame=$2,setpts=PTS-STARTPTS,format=yuv420p,setsar=1,settb=1/25"
}
x264="-c:v libx264 -preset veryfast -g 50 -bf 3 -pix_fmt yuv420p"
# Hard cuts at frames 31, 70, 113 and 150, on whatever frame type the encoder
# gives them (no key frames placed at cuts).
ff -filter_complex "$(shot testsrc2 31)[a];$(shot bars 39)[b];$(shot mandelbrot 43)[c];$(shot life 37)[d];$(shot gradients 36)[e];[a][b][c][d][e]concat=n=5,$marks" \
    $x264 -x264-params scenecut=0 shots-cuts.mp4
# Cross-fades over frames 35 to 50 and 70 to 95.
ff -filter_complex "$(shot testsrc2 50)[a];$(shot mandelbrot 50)[b];$(shot life 50)[c];[a][b]xfade=transition=fade:duration=0.6:offset=1.4[ab];[ab][c]xfade=transition=fade:duration=1:offset=2.8,$marks" \
    $x264 shots-dissolves.mp4
# Fades, the frame numbers fading too: in from black over frames 0-9; out to
# black over 40-49, black 50-54, in over 55-64; through black over 100-115
# (xfade); out to black over 145-154.
ff -filter_complex "$(shot testsrc2 55)[a];$(shot mandelbrot 60)[b];$(shot gradients 55)[c];[a][b]concat=n=2,settb=1/25[ab];[ab][c]xfade=transition=fadeblack:duration=0.6:offset=4.0,$marks,fade=in:st=0:d=0.4,fade=out:st=1.6:d=0.4:enable='lt(t\,2)',drawbox=color=black:t=fill:enable='between(n\,50\,54)',fade=in:st=2.2:d=0.4:enable='gte(t\,2.2)',fade=out:st=5.8:d=0.4" \
    $x264 shots-fades.mp4
# No cuts: a still picture four times the frame's size panned across and
# zoomed into; white frames 40-42 and brightened frames 70-71; lines of text
# rolling up over a still picture; a still picture under heavy noise.
still="mandelbrot=size=1280x720:rate=25:start_scale=1.5,trim=end_frame=1,format=yuv420p"
ff -filter_complex "$still,loop=loop=99:size=1,setpts=N/25/TB,crop=320:180:x='n*8':y='150+n*2',$marks" $x264 shots-pan.mp4
ff -filter_complex "$still,zoompan=z='1+0.008*on':x='iw/2-iw/zoom/2':y='ih/2-ih/zoom/2':d=100:s=320x180:fps=25,$marks" \
    $x264 shots-zoom.mp4
ff -filter_complex "$(shot testsrc2 100),$marks,drawbox=color=white:t=fill:enable='between(n\,40\,42)',eq=brightness=0.5:enable='between(n\,70\,71)'" \
    $x264 shots-flash.mp4
seq -f "Line %g of the rolling credits" 1 30 > credits.txt
ff -filter_complex "mandelbrot=size=320x180:rate=25:start_scale=1.5,trim=end_frame=1,loop=loop=99:size=1,setpts=N/25/TB,drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf:textfile=credits.txt:fontsize=20:fontcolor=white:borderw=2:x=40:y=h-t*80,format=yuv420p,$marks" \
    $x264 shots-text.mp4
rm credits.txt
ff -filter_complex "mandelbrot=size=320x180:rate=25:start_scale=1.5,trim=end_frame=1,loop=loop=74:size=1,setpts=N/25/TB,noise=alls=40:allf=t,format=yuv420p,$marks" \
    $x264 shots-noise.mp4
# Hard cuts at frames 30 and 65 in 10-bit HEVC, and at 27 and 60 in a clip
# shown turned a quarter.
ff -filter_complex "$(shot bars 30)[a];$(shot testsrc2 35)[b];$(shot mandelbrot 35)[c];[a][b][c]concat=n=3,$marks,format=yuv420p10le" \
    -c:v libx265 -preset ultrafast -x265-params log-level=error:keyint=50:bframes=4 shots-cuts-10bit.mkv
ff -filter_complex "$(shot mandelbrot 27)[a];$(shot life 33)[b];$(shot testsrc2 40)[c];[a][b][c]concat=n=3,$marks" $x264 upright.mp4
ff -i upright.mp4 -c copy -metadata:s:v:0 rotate=90 shots-cuts-rotated.mp4
rm upright.mp4
# For choosing frames: all black; a single frame; black over frames 50-74;
# sharp only at frames 20 and 53, blurred elsewhere.
ff -f lavfi -i "color=black:size=320x180:rate=25:duration=2" $x264 black.mp4
ff -filter_complex "$(shot testsrc2 1),$marks" $x264 one-frame.mp4
ff -filter_complex "$(shot testsrc2 100),$marks,drawbox=color=black:t=fill:enable='between(n\,50\,74)'" $x264 blank-gap.mp4
ff -filter_complex "$(shot testsrc2 100),gblur=sigma=3:enable='not(eq(n\,20)+eq(n\,53))',$marks" $x264 blurred.mp4

# HDR as cameras record it, made from SDR with zscale: SDR white at 203 cd/m²,
# BT.2020, HEVC 10-bit (lossless, so only the conversion is measured).
# Bars: 75 % SMPTE bars in HLG and in PQ (the PQ one stating a 1000 cd/m² peak).
# Ramps: grey from black on the left to the peak on the right, SDR signal v
# giving peak * v^2.4 cd/m²: HLG to its 1000 cd/m², PQ to 4000 cd/m² (stated).
# SDR BT.2020: the flat colour #C83214 in the wide gamut with the SDR curve.
# The HLG ramp (4:4:4) and the BT.2020 colour (4:2:2) take the other way
# through the conversion than the usual 4:2:0.
tohdr() { echo "format=gbrp,zscale=tin=bt709:pin=bt709:t=$1:p=bt2020:m=bt2020nc:r=limited:npl=$2,format=yuv420p10le"; }
hevc() { echo "-c:v libx265 -preset ultrafast -x265-params log-level=error:lossless=1:colorprim=bt2020:transfer=$1:colormatrix=bt2020nc${2:-}"; }
bars="smptebars=size=280x240:rate=25:duration=0.2"
ramp="nullsrc=size=320x240:rate=25:duration=0.2,format=gbrp,geq=r='X*255/(W-1)':g='X*255/(W-1)':b='X*255/(W-1)'"
mastering=":hdr10=1:master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,1)"
ff -f lavfi -i "$bars,$(tohdr arib-std-b67 203)" $(hevc arib-std-b67) bars-hlg.mkv
ff -f lavfi -i "$bars,$(tohdr smpte2084 203)" $(hevc smpte2084 "$mastering:max-cll=1000,400") bars-pq.mkv
ff -f lavfi -i "$ramp,$(tohdr arib-std-b67 1000),format=yuv444p10le" $(hevc arib-std-b67) ramp-hlg.mkv
ff -f lavfi -i "$ramp,$(tohdr smpte2084 4000)" $(hevc smpte2084 ":hdr10=1:max-cll=4000,400") ramp-pq.mkv
ff -f lavfi -i "color=c=0xC83214:size=320x240:rate=25:duration=0.2,$(tohdr bt709 100),format=yuv422p10le" \
    $(hevc bt709) colour-bt2020.mkv
ff -f lavfi -i "$bars" -c:v libx264 -preset veryfast -pix_fmt yuv420p bars-sdr.mp4

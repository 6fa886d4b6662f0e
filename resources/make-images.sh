#!/usr/bin/env bash
# Renders the two raster images of the desktop program from their SVG
# drawings in art/: the About box logo (PNG with alpha) and the watermark
# preview's sample picture (JPEG, given a film grain so it looks like a video
# frame). Needs ffmpeg built with librsvg, as Debian's is. The results are
# committed; run this again only after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

ff -i art/tindralogo.svg -frames:v 1 -pix_fmt rgba Images/tindralogo.png
ff -i art/watermarkBackground.svg -frames:v 1 \
    -vf "format=rgb24,gblur=sigma=0.6,noise=alls=7:allf=t,format=yuvj444p" -q:v 3 \
    Images/watermarkBackground.jpg

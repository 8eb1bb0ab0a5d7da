#!/usr/bin/env bash
# H.264 MP4 from `vistrom --convert` against the ffmpeg command line on the
# same generated frames, at x264's medium preset and CRF 23 on both sides; the
# wall-time ratio vistrom / ffmpeg (median of RUNS runs each) per case.
#   P5  JPEG 1280x720 frames, list stretched to 640x480, to H.264 MP4
#   P6  the P5 images with nine blank rows after each (ten times the
#       positions), against ffmpeg on a concat list that repeats each file for
#       its held positions; and the file's size against the P5 movie's
# Usage: bench/containers-vs-ffmpeg.sh [BUILD_DIR]   (FRAMES=300 RUNS=3 by default)
set -euo pipefail
bench=containers-vs-ffmpeg runs=3 movies='*.mp4'
source "$(dirname "$0")/vs-ffmpeg.sh"
x264=(-c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p)

mkdir -p "$work/p5"
ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=8" -frames:v "$frames" -q:v 3 "$work/p5/f%04d.jpg"
mapfile -t rows < <(ls "$work"/p5/f*.jpg)
project "$work/p5.fsq" 640 480 1 "${rows[@]}"
p5_vistrom() { "$vistrom" --convert "$work/p5.fsq" --output "$work/p5-vistrom.mp4"; }
p5_ffmpeg() {
  ffmpeg -v error -y -framerate 8 -i "$work/p5/f%04d.jpg" -vf scale=640:480 "${x264[@]}" \
    "$work/p5-ffmpeg.mp4"
}
# The floor under P5: x264 alone, at the same preset and CRF, on ffmpeg's own
# scaled frames read raw; timed in turn with the two others.
ffmpeg -v error -y -framerate 8 -i "$work/p5/f%04d.jpg" -vf scale=640:480 -pix_fmt yuv420p \
  -f rawvideo "$work/p5.yuv"
p5_x264() {
  ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 640x480 -framerate 8 -i "$work/p5.yuv" \
    "${x264[@]}" "$work/p5-x264.mp4"
}
tv=() tf=() tx=()
for _ in $(seq "$runs"); do
  tv+=("$(time_once p5_vistrom)") tf+=("$(time_once p5_ffmpeg)") tx+=("$(time_once p5_x264)")
done
report "P5 jpeg 1280x720 stretched to 640x480, H.264 MP4" "$(median "${tv[@]}")" \
  "$(median "${tf[@]}")" 0.8
awk -v x="$(median "${tx[@]}")" -v f="$(median "${tf[@]}")" 'BEGIN {
  printf "P5 floor: x264 alone on the scaled frames %.2fs, ratio %.2f to ffmpeg\n", x, x / f }'
rm -f "$work/p5.yuv"
p5_vistrom >/dev/null 2>&1 && cp "$work/p5-vistrom.mp4" "$work/p5.keep"

held=()
: >"$work/p6.txt"
for f in "${rows[@]}"; do
  held+=("$f" "" "" "" "" "" "" "" "" "")
  for _ in $(seq 10); do printf "file '%s'\nduration 0.125\n" "$f" >>"$work/p6.txt"; done
done
project "$work/p6.fsq" 640 480 1 "${held[@]}"
p6_vistrom() { "$vistrom" --convert "$work/p6.fsq" --output "$work/p6-vistrom.mp4"; }
p6_ffmpeg() {
  ffmpeg -v error -y -f concat -safe 0 -i "$work/p6.txt" -r 8 -vf scale=640:480 "${x264[@]}" \
    "$work/p6-ffmpeg.mp4"
}
read -r tv tf < <(pair p6_vistrom p6_ffmpeg)
report "P6 the P5 images with nine blank rows after each, H.264 MP4" "$tv" "$tf" 0.3
p6_vistrom >/dev/null 2>&1
awk -v a="$(stat -c %s "$work/p6-vistrom.mp4")" -v b="$(stat -c %s "$work/p5.keep")" 'BEGIN {
  printf "P6 size: %d bytes against %d for the 300-frame movie, %.2f times (target <= 1.2)\n", a, b, a / b }'

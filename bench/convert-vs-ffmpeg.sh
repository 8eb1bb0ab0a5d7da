#!/usr/bin/env bash
# Converts the same generated frames with `vistrom --convert` and with the
# ffmpeg command line, and prints the wall-time ratio vistrom / ffmpeg (the
# median of RUNS runs each) for each case, and the machine's core count.
#   P1  JPEG 1280x720 frames, list stretched to 640x480, uncompressed 24 bits
#   P2  PNG 640x480 frames at natural size, uncompressed 24 bits
#   P3  the P2 images with two blank rows after each (hold lines on), against
#       ffmpeg on a concat list that repeats each file for its held positions
#   P4  peak memory of a 10,000-frame conversion minus that of a 100-frame one
# Usage: bench/convert-vs-ffmpeg.sh [BUILD_DIR]   (FRAMES=300 RUNS=5 by default)
set -euo pipefail
bench=convert-vs-ffmpeg runs=5 movies='*.avi'
source "$(dirname "$0")/vs-ffmpeg.sh"

# P1
mkdir -p "$work/p1"
ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=8" -frames:v "$frames" -q:v 3 "$work/p1/f%04d.jpg"
mapfile -t rows < <(ls "$work"/p1/f*.jpg)
project "$work/p1.fsq" 640 480 1 "${rows[@]}"
p1_vistrom() { "$vistrom" --convert "$work/p1.fsq" --output "$work/p1-vistrom.avi"; }
p1_ffmpeg() {
  ffmpeg -v error -y -framerate 8 -i "$work/p1/f%04d.jpg" \
    -vf scale=640:480:flags=neighbor -c:v rawvideo -pix_fmt bgr24 "$work/p1-ffmpeg.avi"
}
read -r tv tf < <(pair p1_vistrom p1_ffmpeg)
report "P1 jpeg 1280x720 stretched to 640x480" "$tv" "$tf" 0.7

# P2
mkdir -p "$work/p2"
ffmpeg -v error -f lavfi -i "testsrc=size=640x480:rate=8" -frames:v "$frames" "$work/p2/f%04d.png"
mapfile -t rows < <(ls "$work"/p2/f*.png)
project "$work/p2.fsq" 640 480 0 "${rows[@]}"
p2_vistrom() { "$vistrom" --convert "$work/p2.fsq" --output "$work/p2-vistrom.avi"; }
p2_ffmpeg() {
  ffmpeg -v error -y -framerate 8 -i "$work/p2/f%04d.png" -c:v rawvideo -pix_fmt bgr24 \
    "$work/p2-ffmpeg.avi"
}
read -r tv tf < <(pair p2_vistrom p2_ffmpeg)
report "P2 png 640x480 natural size" "$tv" "$tf" 0.8

# P3: each image, then two blank rows; vistrom writes the image and a hold line.
held=()
: >"$work/p3.txt"
for f in "${rows[@]}"; do
  held+=("$f" "" "")
  for _ in 1 2 3; do printf "file '%s'\nduration 0.125\n" "$f" >>"$work/p3.txt"; done
done
project "$work/p3.fsq" 640 480 0 "${held[@]}"
p3_vistrom() { "$vistrom" --convert "$work/p3.fsq" --output "$work/p3-vistrom.avi"; }
p3_ffmpeg() {
  ffmpeg -v error -y -f concat -safe 0 -i "$work/p3.txt" -r 8 -c:v rawvideo -pix_fmt bgr24 \
    "$work/p3-ffmpeg.avi"
}
read -r tv tf < <(pair p3_vistrom p3_ffmpeg)
report "P3 png 640x480 with two blank rows after each" "$tv" "$tf" 0.5

# P4: peak memory, 10,000 frames against 100, small frames.
if [ -x /usr/bin/time ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc=size=160x120:rate=1" -frames:v 1 -update 1 "$work/small.png"
  small=()
  for _ in $(seq 10000); do small+=("$work/small.png"); done
  project "$work/p4-long.fsq" 160 120 0 "${small[@]}"
  project "$work/p4-short.fsq" 160 120 0 "${small[@]:0:100}"
  peak() { /usr/bin/time -f %M "$vistrom" --convert "$1" --output "$work/p4.avi" 2>&1 >/dev/null | tail -1; }
  long=$(peak "$work/p4-long.fsq")
  short=$(peak "$work/p4-short.fsq")
  printf 'P4 peak memory: 10,000 frames %d kB, 100 frames %d kB, difference %d kB (target <= 30720 kB)\n' \
    "$long" "$short" "$((long - short))"
else
  echo "P4 peak memory: skipped (/usr/bin/time is missing)"
fi

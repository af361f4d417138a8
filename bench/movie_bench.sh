#!/bin/sh
# The 10 s, 30 fps, 1280x720 zoom of z^2 from the preset view to 1e-12 in the
# seahorse valley: the whole movie, video included, timed against the sum of
# `tesvo render` times of its frames, measured on every STEP-th frame's
# manifest view and scaled by STEP. Prints the figures.
# Usage: bench/movie_bench.sh path/to/tesvo [STEP]
set -eu
program=$(realpath "$1")
step=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
now() { date +%s.%N; }

start=$(now)
"$program" movie caballito.mp4 --formula c --from 0 0 4.4 \
  --to -0.743643887037158704752191506114774 0.131825904205311970493132056385139 1e-12 \
  --limits 100 5000 --seconds 10 --fps 30 --size 1280x720
movie=$(echo "$(now) - $start" | bc)
frames=$(($(wc -l <caballito.frames/views.txt) - 1))

sampled=0
sum=0
k=1
while [ "$k" -le "$frames" ]; do
  set -- $(sed -n "$((k + 1))p" caballito.frames/views.txt)
  start=$(now)
  "$program" render --formula c --centre "$2" "$3" --width "$4" --limit "$5" --size 1280x720 r.png
  sum=$(echo "$sum + $(now) - $start" | bc)
  cmp -s r.png "$(printf 'caballito.frames/frame_%06d.png' "$k")" || echo "frame $k differs from its render" >&2
  sampled=$((sampled + 1))
  k=$((k + step))
done
renders=$(echo "$sum * $frames / $sampled" | bc -l)
echo "frames: $frames; video: $(ffprobe -v error -show_entries format=duration -of csv=p=0 caballito.mp4) s"
printf 'movie: %.1f s (%.2f min)\n' "$movie" "$(echo "$movie / 60" | bc -l)"
printf 'tesvo render of %d sampled frames: %.1f s; scaled to %d frames: %.1f s (%.2f min)\n' \
  "$sampled" "$sum" "$frames" "$renders" "$(echo "$renders / 60" | bc -l)"
printf 'movie / renders: %.3f\n' "$(echo "$movie / $renders" | bc -l)"

#!/bin/sh
# The 10 s, 30 fps, 1280x720 zoom of z^2 from the preset view to 1e-12 in the
# seahorse valley: the whole movie, video included, timed against the sum of
# `tesvo render` times of its frames, measured on every STEP-th frame's
# manifest view and scaled. Wall-clock seconds and processor seconds (user +
# system, ffmpeg's included), the second a fair measure on a busy machine.
# Usage: bench/movie_bench.sh path/to/tesvo [STEP] [WORK]   (needs /usr/bin/time)
set -eu
program=$(realpath "$1")
step=${2:-10}
work=${3:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"
timed() { # file, command...: appends "wall cpu" to the file
  out=$1
  shift
  /usr/bin/time -f '%e %U %S' -o time.txt "$@"
  awk '{ print $1, $2 + $3 }' time.txt >>"$out"
}

[ -s movie.txt ] || timed movie.txt "$program" movie caballito.mp4 --formula c --from 0 0 4.4 \
  --to -0.743643887037158704752191506114774 0.131825904205311970493132056385139 1e-12 \
  --limits 100 5000 --seconds 10 --fps 30 --size 1280x720
frames=$(($(wc -l <caballito.frames/views.txt) - 1))

: >renders.txt
k=1
while [ "$k" -le "$frames" ]; do
  set -- $(sed -n "$((k + 1))p" caballito.frames/views.txt)
  timed renders.txt "$program" render --formula c --centre "$2" "$3" --width "$4" --limit "$5" --size 1280x720 r.png
  cmp -s r.png "$(printf 'caballito.frames/frame_%06d.png' "$k")" || echo "frame $k differs from its render" >&2
  k=$((k + step))
done
echo "frames: $frames; video: $(ffprobe -v error -show_entries format=duration -of csv=p=0 caballito.mp4) s"
awk -v frames="$frames" 'NR == FNR { wall = $1; cpu = $2; next }
  { w += $1; c += $2; n++ }
  END {
    printf "movie: %.1f min wall, %.1f min processor\n", wall / 60, cpu / 60
    printf "tesvo render of %d sampled frames, scaled to %d: %.1f min wall, %.1f min processor\n", n, frames,
      w * frames / n / 60, c * frames / n / 60
    printf "movie / renders: %.3f wall, %.3f processor\n", wall / (w * frames / n), cpu / (c * frames / n)
  }' movie.txt renders.txt

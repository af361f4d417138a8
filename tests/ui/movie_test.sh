#!/bin/sh
# Zoom movies with the real program: GNU parallel with two jobs on this
# machine draws the frames one job draws, byte for byte; a job killed midway
# and run again leaves the same frames and no temporary file; the video has
# the frames, size and length asked for, read back with ffprobe.
# Arguments: the program.
set -eu
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# Twelve 64x36 frames from the whole set to 1e-12 in the seahorse valley.
movie="--formula c --from -0.75 0 3 --to -0.7436438870371587 0.1318259042053119 1e-12 --limits 200 5000
  --seconds 2 --fps 6 --size 64x36"

# shellcheck disable=SC2086 # the options are split as a shell would
"$program" movie $movie --folder one --threads 1
# shellcheck disable=SC2086
seq 1 3 12 | parallel --will-cite --sshlogin 2/: \
  "$program" movie $movie --threads 1 --folder "$work/two" --frames '{}-$(({}+2))'
for frame in one/*; do
  cmp -s "$frame" "two/${frame#one/}" || fail "parallel: ${frame#one/} differs from one job's"
done
[ "$(ls one | wc -l)" -eq 13 ] || fail "one job: $(ls one | wc -l) files, not 12 frames and views.txt"
[ "$(ls -A two | wc -l)" -eq 13 ] || fail "parallel: $(ls -A two) is not 12 frames and views.txt"

# Killed after its third frame, then run again; Ctrl+C ends a job as 130.
# Frames of 480x270 take long enough on one thread that the job is caught
# with frames still to draw, on a busy machine as on an idle one.
# shellcheck disable=SC2086
large=$(echo "$movie" | sed 's/--size 64x36/--size 480x270/')
# shellcheck disable=SC2086
"$program" movie $large --folder large --threads 1
for signal in INT KILL; do
  # shellcheck disable=SC2086
  "$program" movie $large --folder "$signal" --threads 1 &
  job=$!
  while [ ! -e "$signal/frame_000003.png" ] && kill -0 "$job" 2>/dev/null; do sleep 0.01; done
  kill -s "$signal" "$job"
  wait "$job" && status=0 || status=$?
  [ "$signal" = KILL ] || [ "$status" -eq 130 ] || fail "Ctrl+C: exit $status, not 130"
  [ ! -e "$signal/frame_000012.png" ] || fail "$signal: the job ended before it was killed; nothing was tested"
  # shellcheck disable=SC2086
  "$program" movie $large --folder "$signal" --threads 1
  for frame in large/*; do
    cmp -s "$frame" "$signal/${frame#large/}" || fail "$signal and resumed: ${frame#large/} differs"
  done
  [ "$(ls -A "$signal" | wc -l)" -eq 13 ] || fail "$signal and resumed: $(ls -A "$signal")"
done

# The folder drawn by parallel, joined; then the video drawn at once.
"$program" movie joined.mp4 --encode two || fail "--encode"
# shellcheck disable=SC2086
"$program" movie whole.mp4 $movie || fail "the video at once"
for video in joined.mp4 whole.mp4; do
  probe=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries \
    stream=codec_name,pix_fmt,width,height,nb_read_frames:format=duration -of default=nw=1 "$video")
  for line in codec_name=h264 pix_fmt=yuv420p width=64 height=36 nb_read_frames=12 duration=2.000000; do
    echo "$probe" | grep -qx "$line" || fail "$video: not $line in: $probe"
  done
done
[ -z "$(ls -A | grep -v -e '^one$' -e '^two$' -e '^INT$' -e '^KILL$' -e '^large$' -e '^joined.mp4$' -e '^whole.mp4$' \
  -e '^whole.frames$')" ] || fail "files left: $(ls -A)"

# A folder with a frame missing is not joined, and says which.
rm two/frame_000005.png
"$program" movie gap.mp4 --encode two 2>err && status=0 || status=$?
[ "$status" -eq 1 ] || fail "--encode of a folder with a gap: exit $status, not 1"
grep -qF "faltan fotogramas en two (de 12): 5." err || fail "--encode of a folder with a gap says: $(cat err)"
[ ! -e gap.mp4 ] || fail "--encode of a folder with a gap made a video"
exit $failed

#!/usr/bin/env bash
# The README's Slurm job array, for real, on a one-node cluster of this
# machine: a small zoom movie drawn by four array tasks into one folder, the
# same movie drawn by one job without Slurm, every frame compared byte for
# byte, and the video joined and measured with ffprobe.
#   tests/slurm_movie.sh PATH/TO/tesvo
# Runs as root (it starts munged, slurmctld and slurmd), with Debian's munge
# and Slurm packages, which `scripts/install-dependencies --tests` installs;
# without them it is skipped (exit status 77). Its daemons use their own
# configuration, key, ports and folders under a temporary folder, so a Slurm
# or munged already running here is left alone; all of them are stopped on
# exit. No systemd and no cgroups are needed. About 15 s once the packages
# are there (20 frames of 320 x 180, 2 cores).
set -euo pipefail

tesvo=$(realpath "$1")
# Exit status 77: skipped, for want of what the test needs here.
[ "$(id -u)" -eq 0 ] || { echo "$0: skipped: it starts the Slurm daemons, which takes root" >&2; exit 77; }
for program in munged slurmctld slurmd sbatch sinfo ffprobe; do
  command -v "$program" >/dev/null ||
    { echo "$0: skipped: no $program (scripts/install-dependencies --tests installs it)" >&2; exit 77; }
done

work=$(mktemp -d)
# shellcheck disable=SC2317 # called by the trap
stop() {
  local pids=()
  for pidfile in "$work"/slurmd.pid "$work"/slurmctld.pid "$work"/munged.pid; do
    if [ -s "$pidfile" ]; then pids+=("$(cat "$pidfile")"); fi
  done
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  rm -rf "$work"
}
trap stop EXIT

# munge: a key of its own and a socket in the work folder.
dd if=/dev/urandom of="$work/munge.key" bs=128 count=1 status=none
chmod 600 "$work/munge.key"
munged --force --socket="$work/munge.socket" --key-file="$work/munge.key" --pid-file="$work/munged.pid" \
  --log-file="$work/munged.log" --seed-file="$work/munged.seed"

mkdir -p "$work/state" "$work/spool"
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=tesvo-test
SlurmctldHost=localhost
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge.socket
MpiDefault=none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
NodeName=localhost CPUs=$(nproc)
PartitionName=test Nodes=localhost Default=YES MaxTime=10 State=UP
EOF
# Slurm 24.05 and later (Debian 13) start slurmd's cgroup plugin whatever the
# plugins above are, and slurmd stops where no cgroup file system is mounted
# (a chroot, a container); CgroupPlugin=disabled, new in 24.05, turns it off.
# Slurm 22.05 (Debian 12) neither needs nor knows it.
read -r major minor _ < <(slurmd -V | sed -E 's/^[^0-9]*([0-9]+)\.([0-9]+).*/\1 \2 x/')
if [ "$major" -gt 24 ] || { [ "$major" -eq 24 ] && [ "$minor" -ge 5 ]; }; then
  echo CgroupPlugin=disabled >"$work/cgroup.conf"
fi
slurmctld
slurmd -N localhost
for _ in $(seq 60); do
  [ "$(sinfo -h -o %t 2>/dev/null)" = idle ] && break
  sleep 0.5
done
[ "$(sinfo -h -o %t)" = idle ] || { echo "the node never became idle:" >&2; tail -n 20 "$work"/slurm*.log >&2; exit 1; }

# The README's job script, scaled down: 20 frames in 4 tasks of 5.
movie=(--formula c --from 0 0 4.4
  --to -0.743643887037158704752191506114774 0.131825904205311970493132056385139 1e-12
  --limits 100 5000 --seconds 2 --fps 10 --size 320x180)
cat >"$work/movie.sbatch" <<EOF
#!/bin/sh
#SBATCH --array=0-3
#SBATCH --cpus-per-task=1
#SBATCH --output=$work/task-%a.out
first=\$((SLURM_ARRAY_TASK_ID * 5 + 1))
exec "$tesvo" movie ${movie[*]} --threads "\$SLURM_CPUS_PER_TASK" \\
  --folder "$work/array" --frames "\$first-\$((first + 4))"
EOF
timeout 120 sbatch --wait --quiet "$work/movie.sbatch"
"$tesvo" movie "${movie[@]}" --threads 2 --folder "$work/one" 2>/dev/null

failures=0
frames=0
for frame in "$work"/one/frame_*.png; do
  frames=$((frames + 1))
  cmp -s "$frame" "$work/array/${frame##*/}" || { echo "${frame##*/}: the array's frame differs" >&2; failures=$((failures + 1)); }
done
[ "$frames" -eq 20 ] || { echo "one job drew $frames frames, not 20" >&2; failures=$((failures + 1)); }
extra=$(find "$work/array" -mindepth 1 ! -name 'frame_*.png' ! -name views.txt)
[ -z "$extra" ] || { echo "left in the array's folder: $extra" >&2; failures=$((failures + 1)); }

"$tesvo" movie "$work/movie.mp4" --encode "$work/array"
# What ffprobe must say of the video: field, value.
expected=(
  codec_name h264
  width 320
  height 180
  pix_fmt yuv420p
  r_frame_rate 10/1
  nb_read_frames 20
  duration 2.000000
)
probe=$(ffprobe -v error -select_streams v:0 -count_frames -of default=nw=1 \
  -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames,duration "$work/movie.mp4")
for ((i = 0; i < ${#expected[@]}; i += 2)); do
  field=${expected[i]} value=${expected[i + 1]}
  grep -qx "$field=$value" <<<"$probe" || { echo "ffprobe: $field is not $value: ${probe//$'\n'/ }" >&2; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] && echo "slurm movie: 20 frames from 4 array tasks, byte for byte one job's; video as expected"
exit $((failures > 0))

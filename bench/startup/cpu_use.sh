#!/usr/bin/env bash
# Processor use and peak memory of the real game program: starts it from
# RUN_DIR (a build's run folder) under Xvfb, lets it run SECONDS (default 20)
# at the menu, prints the share of one core it used, stops it and prints its
# maximum resident size. Settings go to a throw-away config folder.
#
#   bench/startup/cpu_use.sh RUN_DIR [SECONDS]
set -euo pipefail
run_dir=$(cd "$1" && pwd)
seconds=${2:-20}
if [ -z "${CPU_USE_INNER:-}" ]; then
  export CPU_USE_INNER=1
  exec xvfb-run -a -s "-screen 0 800x600x16" "$0" "$run_dir" "$seconds"
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config
mkdir -p "$XDG_CONFIG_HOME"
cd "$run_dir"
/usr/bin/time -v -o "$tmp/time.txt" ./zarnik &
timer=$!
sleep 1
game=$(pgrep -P "$timer" -x zarnik)
read -r -a start < "/proc/$game/stat"
sleep "$seconds"
read -r -a end < "/proc/$game/stat"
ticks=$(( end[13] + end[14] - start[13] - start[14] ))
hz=$(getconf CLK_TCK)
echo "CPU: $ticks ticks in $seconds s = $(( ticks * 1000 / (seconds * hz) / 10 )).$(( ticks * 1000 / (seconds * hz) % 10 )) % of one core"
kill -TERM "$game"
wait "$timer" || true
grep "Maximum resident" "$tmp/time.txt"

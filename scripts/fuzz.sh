#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a given time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS defaults to 30 per target; TARGET names (fuzz_container, ...) pick
# some of them, the default is all. Each target starts from its seeds in
# fuzz/corpus/NAME (NAME = target without "fuzz_") plus, for the container and
# MIDI readers, the data files the build generated when a build folder holds
# them. What a run learns is kept in $FUZZ_BUILD_DIR/corpus/TARGET for the
# next run; crashes, leaks and hangs are written to $FUZZ_BUILD_DIR/artifacts/.
# At the end a table gives each target's executions and result; the script
# fails when any target failed.
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (build jobs,
# default 2), FUZZ_SEED_DIR (folder with generated data files to seed from).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh --fuzz

seconds=${1:-30}
shift || true
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-2}

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DZARNIK_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# Generated data files to seed the container and MIDI readers with (the
# large picture container is left out: it only slows every run down).
seed_dir=${FUZZ_SEED_DIR:-}
if [ -z "$seed_dir" ]; then
  for d in "$build"/run build*/run; do
    if [ -f "$d/menu.xxx" ]; then seed_dir=$d; break; fi
  done
fi

mkdir -p "$build/artifacts" "$build/logs"
# libFuzzer writes crash files to the prefix as given: make it absolute
# whether the build folder was given relative or absolute.
artifacts=$(cd "$build/artifacts" && pwd)
summary=()
status=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  if [ -n "$seed_dir" ]; then
    extra="$build/seeds/$t"
    mkdir -p "$extra"
    case $name in
      container) cp -f "$seed_dir"/menu.xxx "$seed_dir"/zvuk.xxx "$extra"/ 2>/dev/null || true ;;
      midi) cp -f "$seed_dir"/*.mid "$extra"/ 2>/dev/null || true ;;
    esac
    [ -n "$(ls -A "$extra")" ] && seeds+=("$extra")
  fi
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=("-dict=fuzz/$t.dict")
  log="$build/logs/$t.log"
  echo "== $t: $seconds s"
  set +e
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$t-" "${dict[@]}" \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  if [ $rc -eq 0 ]; then
    result=ok
  else
    result="FAILED (exit $rc, see $log)"
    status=1
    grep -E '^==[0-9]+==ERROR|SUMMARY|runtime error|deadly signal|Test unit written' "$log" | head -5 || true
  fi
  summary+=("$(printf '%-16s %8s s %12s execs %6s edges  %s' "$t" "$seconds" "${execs:-?}" "${cov:-?}" "$result")")
done

echo
printf '%s\n' "${summary[@]}"
exit $status

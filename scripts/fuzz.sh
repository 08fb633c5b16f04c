#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each one for the given number of seconds, two at a time, from seeds made by our writer.
#   bash scripts/fuzz.sh [seconds per harness, default 60; 0: build only] [corpus folder]
# VAULTPICK_FUZZ_SOURCE builds another source tree (an earlier commit's, say) instead of this one,
# into VAULTPICK_FUZZ_BUILD (build/fuzz by default); VAULTPICK_FUZZ_HARNESSES runs only the
# harnesses it names (bench/fuzz-rate.sh runs one harness of two trees side by side).
# The corpus is kept outside the repository (build/fuzz-corpus/<harness> by default) and grows
# from run to run. A crash is minimised next to its artifact; turn it into a regression test in
# tests/native/read_test.cpp, rebuilt by code, and commit no binary input.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
root="$PWD"
seconds="${1:-60}"
corpus="${2:-$root/build/fuzz-corpus}"
source="${VAULTPICK_FUZZ_SOURCE:-$root}"
build="${VAULTPICK_FUZZ_BUILD:-$root/build/fuzz}"
read -ra harnesses <<<"${VAULTPICK_FUZZ_HARNESSES:-open extract validate defragment}"
parallel=2

case "$seconds" in '' | *[!0-9]*)
  echo "usage: scripts/fuzz.sh [seconds per harness] [corpus folder]" >&2
  exit 2
  ;;
esac

bash scripts/setup.sh || exit 1
CC=clang CXX=clang++ cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVAULTPICK_FUZZ=ON -DVAULTPICK_BUILD_TESTS=OFF -DVAULTPICK_BUILD_BENCH=OFF >/dev/null &&
  cmake --build "$build" -j 2 || exit 1

seeds="$build/seeds"
rm -rf "$seeds"
"$build/bin/make_seeds" "$seeds" || exit 1

[ "$seconds" = 0 ] && exit 0
crashes="$corpus/crashes"
mkdir -p "$crashes"

run_harness() {  # run_harness NAME: fuzzes one harness, its log in the corpus folder
  local name="$1"
  mkdir -p "$corpus/$name" "$crashes/$name"
  # 1 GiB of memory is far past anything a 1 MiB input may need: more is an unbounded allocation.
  # Fork mode with findings ignored: a long run goes on past its first finding and saves each
  # one, instead of ending there.
  "$build/bin/fuzz_$name" "$corpus/$name" "$seeds" -dict="$root/fuzz/gcf.dict" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -artifact_prefix="$crashes/$name/" >"$corpus/$name.log" 2>&1
  local status=$?
  # The fork-mode parent's last status line: "#RUNS: cov: .. oom/timeout/crash: a/b/c time: Ns".
  local last runs time findings
  last=$(grep -E '^#[0-9]+: cov:' "$corpus/$name.log" | tail -n 1)
  runs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
  time=$(sed -E 's/.* time: ([0-9]+)s.*/\1/' <<<"$last")
  findings=$(sed -E 's/.*oom\/timeout\/crash: ([0-9/]+).*/\1/' <<<"$last")
  runs=${runs:-0}
  time=${time:-0}
  echo "$name: exit $status, $runs runs in $time s ($((runs / (time + 1))) exec/s)," \
    "oom/timeout/crash ${findings:-?}, corpus $(find "$corpus/$name" -type f | wc -l) inputs"
}

pids=()
for name in "${harnesses[@]}"; do
  run_harness "$name" &
  pids+=($!)
  if [ "${#pids[@]}" -ge "$parallel" ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
wait

found=0
for name in "${harnesses[@]}"; do
  for artifact in "$crashes/$name"/*; do
    [ -f "$artifact" ] || continue
    case "$artifact" in *.min | *.log) continue ;; esac
    found=1
    "$build/bin/fuzz_$name" -minimize_crash=1 -max_total_time=60 -runs=100000 \
      -exact_artifact_path="$artifact.min" "$artifact" >"$artifact.minimize.log" 2>&1
    echo "FOUND by fuzz_$name: $artifact"
    [ -f "$artifact.min" ] && echo "  minimised: $artifact.min"
  done
done
[ "$found" = 0 ] && echo "no crashes, hangs or unbounded allocations found"
exit "$found"

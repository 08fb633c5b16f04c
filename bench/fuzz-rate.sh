#!/usr/bin/env bash
# The fuzz harnesses' speed against those of an earlier revision, measured in the same run: both
# trees' harnesses are built (scripts/fuzz.sh), then each harness of this tree runs beside the
# same harness of the earlier one, one core each, for the same time, from fresh corpora of their
# own seeds; prints executions per second of each and their ratio.
#   bash bench/fuzz-rate.sh EARLIER_REVISION [seconds per harness, default 600]
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
earlier="${1:?usage: bench/fuzz-rate.sh EARLIER_REVISION [seconds per harness]}"
seconds="${2:-600}"
work="$root/build/fuzz-rate"  # this benchmark's own: emptied on every run
rm -rf "$work"
mkdir -p "$work/earlier-src"
git archive "$earlier" | tar -x -C "$work/earlier-src"

fuzz() {  # fuzz NAME SECONDS: scripts/fuzz.sh over NAME's tree, one harness at a time
  local source="$root"
  [ "$1" = earlier ] && source="$work/earlier-src"
  VAULTPICK_FUZZ_SOURCE="$source" VAULTPICK_FUZZ_BUILD="$work/build-$1" VAULTPICK_FUZZ_PARALLEL=1 \
    bash scripts/fuzz.sh "$2" "$work/corpus-$1"
}
fuzz earlier 0 >/dev/null
fuzz current 0 >/dev/null
fuzz earlier "$seconds" >"$work/earlier.log" 2>&1 &
fuzz current "$seconds" >"$work/current.log" 2>&1 || true
wait || true

rate() {  # rate NAME HARNESS: the exec/s that scripts/fuzz.sh reported
  sed -n "s/^$2: .*(\([0-9]*\) exec\/s).*/\1/p" "$work/$1.log"
}
echo "fuzz harnesses, $seconds s each, beside $earlier's (exec/s):"
for harness in open extract validate defragment; do
  old=$(rate earlier "$harness") new=$(rate current "$harness")
  awk -v h="$harness" -v o="${old:-0}" -v n="${new:-0}" \
    'BEGIN { printf "  %-10s %8d  against %8d  %.2fx\n", h, n, o, o ? n / o : 0 }'
done
grep -h -E "^(open|extract|validate|defragment):|FOUND|no crashes" "$work/earlier.log" \
  "$work/current.log" | sed 's/^/  /'

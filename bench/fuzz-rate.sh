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
work="$root/build/fuzz-rate"  # this benchmark's own; its builds are kept from run to run
revision=$(git rev-parse --verify "$earlier^{commit}")
if [ "$(cat "$work/earlier-revision" 2>/dev/null)" != "$revision" ]; then
  rm -rf "$work"
  mkdir -p "$work/earlier-src"
  git archive "$revision" | tar -x -C "$work/earlier-src"
  echo "$revision" >"$work/earlier-revision"
fi
rm -rf "$work/corpus-earlier" "$work/corpus-current" "$work/earlier.log" "$work/current.log"

fuzz() {  # fuzz NAME SECONDS [HARNESS]: scripts/fuzz.sh over NAME's tree
  local source="$root"
  [ "$1" = earlier ] && source="$work/earlier-src"
  VAULTPICK_FUZZ_SOURCE="$source" VAULTPICK_FUZZ_BUILD="$work/build-$1" \
    VAULTPICK_FUZZ_HARNESSES="${3:-}" bash scripts/fuzz.sh "$2" "$work/corpus-$1"
}
fuzz earlier 0 >/dev/null
fuzz current 0 >/dev/null
for harness in open extract validate defragment; do
  fuzz earlier "$seconds" "$harness" >>"$work/earlier.log" 2>&1 &
  fuzz current "$seconds" "$harness" >>"$work/current.log" 2>&1 || true
  wait || true
done

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

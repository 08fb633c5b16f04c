#!/usr/bin/env bash
# Benchmarks of the package tool, each against the baseline it is judged by, measured in the
# same run: bash bench/run.sh [scratch folder]
#   (a) listing a package of 100,000 files into a list file   vs  a bare start of the tool (-h),
#       with its floor for context: what the file system charges for reading the directory and
#       replacing a list of that size through a temporary (bench/list_floor.c)
#   (b) extracting one file from that package                 vs  a bare start of the tool (-h)
#   (c) extracting the whole of a ~1 GiB package              vs  cp -r of the same tree
#   (d) defragmenting a fragmented ~1 GiB package              vs  cp of the same file
# plus the peak memory of (a), (b), (c) and of (d) at 100 MiB and 1 GiB. Packages are made by our
# own writer (hlmake).
#   BENCH_EARLIER=<git revision> bash bench/run.sh  also builds the tool of that revision and times
# it in the same hyperfine runs, so a change is judged against the earlier tool measured alike.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAULTPICK_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j 2 --target hlextract hlmake >/dev/null

bin="$root/build/bench/bin"
cc -O2 -Wall -Wextra bench/list_floor.c -o "$root/build/bench/list_floor"

earlier=()  # the earlier tool's commands join each run after the baseline, when asked for
if [ -n "${BENCH_EARLIER:-}" ]; then
  # shellcheck source=bench/earlier.sh
  source bench/earlier.sh
  build_earlier "$BENCH_EARLIER" "$root/build/bench-earlier-src" "$root/build/bench-earlier" \
    hlextract
  earlier_bin="$root/build/bench-earlier/bin"
fi
with_earlier() {  # with_earlier COMMAND: the same command run by the earlier tool, when asked for
  earlier=()
  [ -n "${BENCH_EARLIER:-}" ] && earlier=("${1//$bin\//$earlier_bin/}")
  return 0
}
work="${1:-$root/build/bench-data}"
mkdir -p "$work"
files="$work/files100k.gcf"
big="$work/bytes1g.gcf"
tree="$work/bytes1g-tree"
[ -f "$files" ] || "$bin/hlmake" files 100000 "$files"
[ -f "$big" ] || { rm -rf "$tree"; "$bin/hlmake" bytes 1024 "$big" --tree "$tree"; }
fragmented="$work/fragmented1g.gcf"
fragmented_small="$work/fragmented100m.gcf"
[ -f "$fragmented" ] || "$bin/hlmake" bytes 1024 "$fragmented" --fragmented
[ -f "$fragmented_small" ] || "$bin/hlmake" bytes 100 "$fragmented_small" --fragmented

one_file=$("$bin/hlextract" -p "$files" -l | grep -v '\\$' | sed -n '50000p')
runs=(--warmup 3 --style basic)

# hyperfine's JSON mean of command N, in seconds.
mean() { python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['results'][int(sys.argv[2])]['mean'])" "$1" "$2"; }
ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / float(sys.argv[2]):.2f}')" "$1" "$2"; }
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
ms() { python3 -c "import sys; print(f'{float(sys.argv[1]) * 1000:.2f}')" "$1"; }
report() {  # report LABEL JSON GOAL [INDEX OF THE EARLIER TOOL'S COMMAND]
  local measured baseline
  measured=$(mean "$2" 0)
  baseline=$(mean "$2" 1)
  printf '%-52s %9s ms vs %9s ms  ratio %5sx  (goal <= %s)\n' "$1" "$(ms "$measured")" \
    "$(ms "$baseline")" "$(ratio "$measured" "$baseline")" "$3"
  if [ -n "${BENCH_EARLIER:-}" ]; then
    local before
    before=$(mean "$2" "${4:-2}")
    printf '    the tool of %s: %s ms; now / then %sx\n' "$BENCH_EARLIER" "$(ms "$before")" \
      "$(ratio "$measured" "$before")"
  fi
}

# A bare start takes a few milliseconds: without -N the shell's own start would swamp it.
# Output is discarded by hyperfine, so no command needs a quiet option.
# The floor reads what the tool reads of the directory (every entry and name) and writes a list
# of the same size.
"$bin/hlextract" -p "$files" -lf "$work/list.txt"
directory_bytes=$("$bin/hlextract" -p "$files" -l | python3 -c '
import sys
names = [line.rstrip("\r\n").rstrip("\\").rsplit("\\", 1)[-1] for line in sys.stdin]
print((len(names) + 1) * 28 + sum(len(name) + 1 for name in names) + 1)')
floor="$root/build/bench/list_floor $files $directory_bytes $(stat -c %s "$work/list.txt") \
$work/floor-list.txt"
rm -f "$work/floor-list.txt.~floor"
with_earlier "$bin/hlextract -p $files -lf $work/list.txt"
hyperfine "${runs[@]}" -N --runs 40 --export-json "$work/a.json" \
  "$bin/hlextract -p $files -lf $work/list.txt" "$bin/hlextract -h" "${earlier[@]}" "$floor" \
  >/dev/null
with_earlier "$bin/hlextract -p $files -d $work/one -e '$one_file'"
hyperfine "${runs[@]}" -N --runs 40 --export-json "$work/b.json" \
  "$bin/hlextract -p $files -d $work/one -e '$one_file'" "$bin/hlextract -h" "${earlier[@]}" \
  >/dev/null
with_earlier "$bin/hlextract -p $big -d $work/out-tool -e 'root\\'"
hyperfine "${runs[@]}" --runs 8 --export-json "$work/c.json" \
  --prepare "rm -rf $work/out-tool $work/out-cp; sync" \
  "$bin/hlextract -p $big -d $work/out-tool -e 'root\\'" "cp -r $tree $work/out-cp" \
  "${earlier[@]}" >/dev/null

# Each defragmentation gets a fresh fragmented copy. Its baseline is cp followed by sync: a safe
# rewrite has to reach the disk, as that does; cp alone, which only fills the page cache, is
# context.
with_earlier "$bin/hlextract -p $work/work.gcf -f"
hyperfine --style basic --warmup 1 --runs 5 --export-json "$work/d.json" \
  --prepare "cp $fragmented $work/work.gcf; rm -f $work/copy.gcf; sync" \
  "$bin/hlextract -p $work/work.gcf -f" "sh -c 'cp $fragmented $work/copy.gcf; sync'" \
  "cp $fragmented $work/copy.gcf" "${earlier[@]}" >/dev/null

echo "== benchmarks ($(date -u +%Y-%m-%dT%H:%MZ), $(nproc) cores)"
report "(a) -lf of 100,000 files vs bare start" "$work/a.json" "3"
echo "    its floor (read the directory, replace a list as large): $(ms "$(mean "$work/a.json" -1)") ms;" \
  "-lf / floor $(ratio "$(mean "$work/a.json" 0)" "$(mean "$work/a.json" -1)")x"
report "(b) one file of 100,000 vs bare start" "$work/b.json" "1.5"
report "(c) -e root\\ of $(du -sh "$big" | cut -f1) package vs cp -r" "$work/c.json" "1.3"
report "(d) -f of a fragmented $(du -sh "$fragmented" | cut -f1) package vs cp+sync" \
  "$work/d.json" "2" 3
echo "    (cp alone: $(ms "$(mean "$work/d.json" 2)") ms)"
rm -rf "$work/out-tool"
echo "peak memory (a): $(peak_kib "$bin/hlextract" -p "$files" -lf "$work/list.txt") KiB"
echo "peak memory (b): $(peak_kib "$bin/hlextract" -p "$files" -d "$work/one" -e "$one_file") KiB"
if [ -n "${BENCH_EARLIER:-}" ]; then
  echo "    the tool of $BENCH_EARLIER: $(peak_kib "$earlier_bin/hlextract" -p "$files" -d "$work/one" \
    -e "$one_file") KiB"
fi
echo "peak memory (c): $(peak_kib "$bin/hlextract" -p "$big" -d "$work/out-tool" -e 'root\') KiB"
cp "$fragmented_small" "$work/work.gcf"
echo "peak memory (d), 100 MiB: $(peak_kib "$bin/hlextract" -p "$work/work.gcf" -f) KiB"
cp "$fragmented" "$work/work.gcf"
echo "peak memory (d), 1 GiB: $(peak_kib "$bin/hlextract" -p "$work/work.gcf" -f) KiB"
echo "peak memory of a bare start: $(peak_kib "$bin/hlextract" -h) KiB"
rm -rf "$work/out-tool" "$work/out-cp" "$work/one" "$work/work.gcf" "$work/copy.gcf" \
  "$work/floor-list.txt"

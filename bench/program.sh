#!/usr/bin/env bash
# Benchmarks of the Windows program under Wine, each against its baseline in the same run:
#  - vaultpick.exe from its start with a package of 100,000 files to its window showing the
#    whole list, against the tool's own -lf of the same package (goal: at most 1.5x);
#  - Extract whole GCF on a package of 10,000 files, against the tool's own -e root\ of the
#    same package into an empty folder (goal: at most 1.5x); the same on 100,000 files for the
#    absolute time; and the earlier way, one tool run per entry, on 1,000 files;
#  - Info on one entry of the package of 100,000 files, from the command to its box, against a
#    bare start of the tool (HLExtract.exe -h).
#   bash bench/program.sh [scratch folder]
#   BENCH_EARLIER=<git revision> bash bench/program.sh  also builds the program of that revision
# and times its Info in the same run.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
builds="${VAULTPICK_BUILDS:-$root/build}"
bash scripts/setup.sh
cmake -S . -B "$builds/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAULTPICK_BUILD_TESTS=OFF \
  >/dev/null
cmake --build "$builds/bench" -j 2 --target hlmake >/dev/null
cmake -S . -B "$builds/bench-win64" -G Ninja -DVAULTPICK_TARGET=win64 -DCMAKE_BUILD_TYPE=Release \
  -DVAULTPICK_BUILD_TESTS=OFF >/dev/null
cmake --build "$builds/bench-win64" -j 2 --target vaultpick extract_whole_timer >/dev/null
bin="$builds/bench-win64/bin"

work="${1:-$builds/bench-data}"
mkdir -p "$work/program-temp"
files="$work/files100k.gcf"
[ -f "$files" ] || "$builds/bench/bin/hlmake" files 100000 "$files"
thousand="$work/files1000.gcf"
[ -f "$thousand" ] || "$builds/bench/bin/hlmake" files 1000 "$thousand"
tenthousand="$work/files10k.gcf"
[ -f "$tenthousand" ] || "$builds/bench/bin/hlmake" files 10000 "$tenthousand"
timer="$work/program_timer.exe"
info_timer="$work/info_timer.exe"
for source in program_timer info_timer; do
  x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -municode -static \
    "bench/windows/$source.cpp" -o "$work/$source.exe"
done
if [ -n "${BENCH_EARLIER:-}" ]; then
  # shellcheck source=bench/earlier.sh
  source bench/earlier.sh
  build_earlier "$BENCH_EARLIER" "$builds/bench-earlier-src" "$builds/bench-earlier-win64" \
    vaultpick -DVAULTPICK_TARGET=win64
fi

# shellcheck source=scripts/windows-env.sh
source scripts/windows-env.sh
windows_env_dir="$work"
windows_env_logs="$work"
trap stop_windows_env EXIT
start_windows_env >/dev/null

windows() { echo "Z:${1//\//\\}"; }
echo "== program benchmark ($(date -u +%Y-%m-%dT%H:%MZ), $(nproc) cores, $("$wine_bin" --version))"
"$wine_bin" "$timer" "$(windows "$bin/vaultpick.exe")" "$(windows "$bin/HLExtract.exe")" \
  "$(windows "$files")" 100000 10 "$(windows "$work/program-temp")"
for shape in "$tenthousand 10000 3 1000" "$files 100000 1 0"; do
  read -r package entries runs perEntry <<<"$shape"
  rm -rf "$work/extract-whole"
  "$wine_bin" "$bin/extract_whole_timer.exe" "$(windows "$package")" "$entries" "$runs" \
    "$(windows "$thousand")" "$perEntry" "$(windows "$work/extract-whole")"
done
rm -rf "$work/extract-whole"
info() {  # info BUILD'S BIN FOLDER
  "$wine_bin" "$info_timer" "$(windows "$1/vaultpick.exe")" "$(windows "$1/HLExtract.exe")" \
    "$(windows "$files")" 100000 10 "$(windows "$work/program-temp")"
}
info "$bin"
if [ -n "${BENCH_EARLIER:-}" ]; then
  echo "  the program of $BENCH_EARLIER:"
  info "$builds/bench-earlier-win64/bin"
fi

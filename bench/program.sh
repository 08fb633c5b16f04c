#!/usr/bin/env bash
# Benchmark of the Windows program under Wine: the time from the start of vaultpick.exe with a
# package of 100,000 files to its window showing the whole list, against the tool's own -lf
# of the same package, both started by the same timer in the same run (goal: at most 1.5x).
#   bash bench/program.sh [scratch folder]
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
cmake --build "$builds/bench-win64" -j 2 --target vaultpick >/dev/null

work="${1:-$builds/bench-data}"
mkdir -p "$work/program-temp"
files="$work/files100k.gcf"
[ -f "$files" ] || "$builds/bench/bin/hlmake" files 100000 "$files"
timer="$work/program_timer.exe"
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -municode -static \
  bench/windows/program_timer.cpp -o "$timer"

wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
command -v wine64 >/dev/null 2>&1 && wine=wine64
command -v wineserver >/dev/null 2>&1 && wineserver=wineserver
export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all
xvfb_pid="" wineserver_pid=""
cleanup() {
  if [ -n "$wineserver_pid" ]; then "$wineserver" -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
}
trap cleanup EXIT
rm -f "$work/xvfb.display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/xvfb.display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/xvfb.display" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -d '[:space:]' <"$work/xvfb.display")"
mkdir -p "$WINEPREFIX"
"$wineserver" -p >/dev/null 2>&1 &
wineserver_pid=$!
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
fi

windows() { echo "Z:${1//\//\\}"; }
echo "== program benchmark ($(date -u +%Y-%m-%dT%H:%MZ), $(nproc) cores, $("$wine" --version))"
"$wine" "$timer" "$(windows "$builds/bench-win64/bin/vaultpick.exe")" \
  "$(windows "$builds/bench-win64/bin/HLExtract.exe")" "$(windows "$files")" 100000 10 \
  "$(windows "$work/program-temp")"

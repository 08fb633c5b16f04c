#!/usr/bin/env bash
# Line and branch coverage of the Windows program (its folders' own .cpp files) by its tests
# under Wine, measured with MinGW's gcov. The counters are written through Wine's Z: drive,
# which maps / so the absolute .gcda paths of the build land where gcov looks for them.
#   bash scripts/coverage-wine.sh [BUILD_DIR]        (default build/win64-cov)
# Configures and builds a Debug win64 tree with --coverage, zeroes its counters, runs every
# Windows test, then prints one line per folder and the total.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/win64-cov}"
folders=(startup toolbridge ui actions association controls win32)

cmake -S "$root" -B "$build" -G Ninja -DVAULTPICK_TARGET=win64 -DCMAKE_BUILD_TYPE=Debug \
  -DVAULTPICK_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null || exit 1
cmake --build "$build" -j2 --target vaultpick_tests >/dev/null || exit 1
find "$build" -name '*.gcda' -delete
# Only the program's tests are built here; the library's and the C interface's are left out.
# Failing tests still count towards what ran; they are reported by wine-ctest.sh itself.
bash "$root/scripts/wine-ctest.sh" "$build" -j2 -E 'NOT_BUILT|^CApi[.]' >"$build/coverage-tests.log" 2>&1 ||
  echo "some tests failed: see $build/coverage-tests.log" >&2

# gcov -n prints, for each source an object was built from, "File '<path>'" followed by
# "Lines executed:P% of N", "Branches executed:..." and "Taken at least once:P% of N".
summaries="$(
  cd "$build" &&
    find CMakeFiles/vaultpick_program.dir CMakeFiles/vaultpick_logic.dir -name '*.cpp.gcda' \
      -exec x86_64-w64-mingw32-gcov -n -b {} + 2>/dev/null
)"
awk -v folders="${folders[*]}" -v root="$root/" '
  BEGIN { n = split(folders, list, " "); for (i = 1; i <= n; ++i) wanted[list[i]] = 1 }
  /^File / {
    path = $2; gsub(/\x27/, "", path); sub(/^(\.\.\/)+/, "", path)
    if (index(path, root) == 1) path = substr(path, length(root) + 1)
    split(path, parts, "/"); folder = parts[1]
    take = (folder in wanted) && path ~ /\.cpp$/ && !(path in seen); seen[path] = 1; next
  }
  # Each object ends with a "Lines executed" line of its own totals, which belongs to no file.
  take && /^Lines executed:/ { split($2, v, "[:%]"); l[folder] += v[2] * $4 / 100; L[folder] += $4 }
  take && /^Taken at least once:/ { split($4, v, "[:%]"); b[folder] += v[2] * $6 / 100; B[folder] += $6 }
  /^(Calls executed|No calls)/ { take = 0 }
  function pct(x, y) { return y ? sprintf("%5.1f%%", 100 * x / y) : "    -" }
  END {
    printf "%-12s %8s %8s\n", "folder", "lines", "branches"
    for (i = 1; i <= n; ++i) {
      f = list[i]; if (!L[f]) continue
      printf "%-12s %8s %8s  (%d lines, %d branches)\n", f, pct(l[f], L[f]), pct(b[f], B[f]), L[f], B[f]
      tl += l[f]; TL += L[f]; tb += b[f]; TB += B[f]
    }
    printf "%-12s %8s %8s  (%d lines, %d branches)\n", "program", pct(tl, TL), pct(tb, TB), TL, TB
  }' <<<"$summaries"

#!/usr/bin/env bash
# Line and branch coverage of the library and the tool, measured natively with gcov:
#   bash scripts/coverage.sh [--wine] [ctest args...]      e.g.  bash scripts/coverage.sh -R Tool
# --wine also measures the Windows program under Wine afterwards (scripts/coverage-wine.sh).
# A Debug build with --coverage of its own (build/coverage) runs the native test suite; the tool
# tests start the built hlextract, whose runs write their counts too. gcov then reads every object
# of hllib/ and hlextract/ (files no test reached count as unexecuted) and a short summary adds up:
#   hllib/src      the library           hllib/writer   the fixture writer (tests only)
#   hllib          both together         hlextract      the tool
# Branches are gcov's, without those taken only when an exception is thrown; a line or branch of a
# header counts once, as reached when any translation unit reached it. Not part of CI.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
root="$PWD"
with_wine=0
if [ "${1:-}" = --wine ]; then
  with_wine=1
  shift
fi
build="${VAULTPICK_COVERAGE_BUILD:-$root/build/coverage}"

export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
cmake -S "$root" -B "$build" -G Ninja -DVAULTPICK_TARGET=native -DCMAKE_BUILD_TYPE=Debug \
  -DVAULTPICK_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_C_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null &&
  cmake --build "$build" -j 2 || exit 1

# Counts of an earlier run would add to this one's.
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j 2 --no-tests=error "$@" >"$build/ctest.log" 2>&1
tests_status=$?
tail -n 3 "$build/ctest.log"

# One JSON document per object (gcov's --json-format --stdout), summed per folder.
find "$build" -name '*.gcno' -path '*.dir/*' -print0 |
  xargs -0 gcov --branch-probabilities --json-format --stdout 2>/dev/null |
  python3 -c '
import json, os, sys
root = sys.argv[1] + "/"
lines, branches = {}, {}  # (file, line) -> reached; (file, line, index) -> taken
for document in map(json.loads, sys.stdin):
    for entry in document["files"]:
        # Relative to the build folder when ccache compiled with a base directory.
        name = os.path.normpath(os.path.join(document["current_working_directory"], entry["file"]))
        if not name.startswith(root):
            continue
        name = name[len(root):]
        for line in entry["lines"]:
            key = (name, line["line_number"])
            lines[key] = lines.get(key, False) or line["count"] > 0
            for index, branch in enumerate(b for b in line["branches"] if not b["throw"]):
                bkey = key + (index,)
                branches[bkey] = branches.get(bkey, False) or branch["count"] > 0

def share(table, prefix):
    hits = [reached for key, reached in table.items() if key[0].startswith(prefix)]
    return "%6.2f %% of %5d" % (100.0 * sum(hits) / max(len(hits), 1), len(hits))

print("%-14s %-19s %-19s" % ("", "lines", "branches"))
for folder in ("hllib/src/", "hllib/writer/", "hllib/", "hlextract/"):
    print("%-14s %s   %s" % (folder, share(lines, folder), share(branches, folder)))
' "$root"

[ "$tests_status" = 0 ] || echo "some tests failed: see $build/ctest.log" >&2
if [ "$with_wine" = 1 ]; then
  echo
  bash "$root/scripts/coverage-wine.sh" || tests_status=1
fi
[ "$tests_status" = 0 ]

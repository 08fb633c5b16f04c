#!/usr/bin/env bash
# Runs every shell example of README.md as a reader would: each ```sh block on its own, in a
# fresh empty folder holding only the demo package (demo.gcf, made by hlmake demo), with the
# native build's programs first on PATH and its shared library on the loader's path (built first
# when missing). A block must exit 0, or with the code that a line
# `<!-- exits N -->` right above its fence names. A line `<!-- not an example: why -->` right
# above a fence leaves that block out (the set-up and test commands, which CI runs itself).
#   bash scripts/readme-examples.sh [native build folder]
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
root="$PWD"
build="${1:-$root/build/native}"
bin="$build/bin"
if [ ! -x "$bin/hlextract" ] || [ ! -x "$bin/hlmake" ] || [ ! -e "$build/lib/libhllib.so" ]; then
  bash scripts/setup.sh || exit 1  # a fresh folder: build them
  { cmake -S "$root" -B "$build" -G Ninja -DVAULTPICK_TARGET=native >/dev/null &&
    cmake --build "$build" -j 2 --target hlextract hlmake hllib >/dev/null; } || exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Splits README.md into one file per example: <n>.sh with its text, <n>.exit with the exit code
# it must end with, <n>.line with the line of its fence.
awk -v out="$scratch" '
  /^<!-- exits [0-9]+ -->$/ { expected = $3; next }
  /^<!-- not an example:/ { skip = 1; next }
  /^```sh$/ && !inside {
    inside = 1
    if (!skip) {
      n++
      file = out "/" n
      print (expected == "" ? 0 : expected) > (file ".exit")
      print NR > (file ".line")
      printf "" > (file ".sh")
    }
    next
  }
  /^```/ && inside { inside = 0; skip = 0; expected = ""; next }
  inside && !skip { print >> (file ".sh"); next }
  !inside && !/^[[:space:]]*$/ { skip = 0; expected = "" }
' README.md

passed=0
failed=0
for example in "$scratch"/*.sh; do
  [ -e "$example" ] || break
  base="${example%.sh}"
  line=$(cat "$base.line")
  expected=$(cat "$base.exit")
  folder="$base.run"
  mkdir -p "$folder"
  "$bin/hlmake" demo "$folder/demo.gcf" >/dev/null || { echo "hlmake demo failed" >&2; exit 1; }
  (cd "$folder" && PATH="$bin:$PATH" LD_LIBRARY_PATH="$build/lib" bash -e -o pipefail "$example") \
    >"$base.log" 2>&1 </dev/null
  code=$?
  if [ "$code" = "$expected" ]; then
    passed=$((passed + 1))
    echo "ok      README.md:$line (exit $code)"
  else
    failed=$((failed + 1))
    echo "FAILED  README.md:$line: exit $code, the README says $expected"
    sed 's/^/        /' "$example" "$base.log"
  fi
done
echo "$passed passed, $failed failed"
[ "$passed" -gt 0 ] && [ "$failed" = 0 ]

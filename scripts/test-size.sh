#!/usr/bin/env bash
# Counts the lines of the tests against those of the product and fails when the tests outgrow
# their share: all lines of .cpp, .h, .hpp, .c, .py and .rc files below tests/, against the same
# below the library, the tool, the program's folders, resources/ and tools/. Missing folders
# count 0.
#   bash scripts/test-size.sh
set -uo pipefail

max_ratio=0.35

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
product_folders=(hllib hlextract startup toolbridge ui actions association controls win32 resources
  tools)

lines_in() {  # lines_in FOLDER...: the total line count of the counted files below them
  local existing=()
  for folder in "$@"; do [ -d "$folder" ] && existing+=("$folder"); done
  [ "${#existing[@]}" -gt 0 ] || { echo 0; return; }
  find "${existing[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.c' \
    -o -name '*.py' -o -name '*.rc' \) -exec cat {} + | wc -l
}

tests=$(lines_in tests)
product=$(lines_in "${product_folders[@]}")
ratio=$(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.3f", p ? t / p : 0 }')
echo "test lines:    $tests"
echo "product lines: $product"
echo "ratio:         $ratio (at most $max_ratio)"
awk -v r="$ratio" -v m="$max_ratio" 'BEGIN { exit !(r <= m) }' ||
  { echo "the tests are more than $max_ratio of the product" >&2; exit 1; }

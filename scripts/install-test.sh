#!/usr/bin/env bash
# Installs the native build into an empty staging prefix, then builds README.md's two library
# examples against the staged tree alone: the C one through pkg-config, the C++ one through
# find_package(hllib). Runs both, and the staged hlextract, on the demo package.
#   bash scripts/install-test.sh [native build folder]
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
build="${1:-$root/build/native}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/stage"

cmake --install "$build" --prefix "$stage" >/dev/null
for installed in bin/hlextract lib/libhllib.so.1 include/hllib/hllib.h include/hllib/version.h \
  lib/pkgconfig/hllib.pc lib/cmake/hllib/hllibConfig.cmake share/man/man1/hlextract.1; do
  [ -e "$stage/$installed" ] || { echo "not installed: $installed"; exit 1; }
done

# The README's ```c and ```cpp blocks under "Use the library", in this order.
awk -v out="$work" '
  /^### Use the library/ { inside = 1 }
  inside && /^```(c|cpp)$/ { file = out "/use." substr($0, 4); next }
  file && /^```$/ { file = ""; next }
  file { print > file }
' README.md
if [ ! -s "$work/use.c" ] || [ ! -s "$work/use.cpp" ]; then
  echo "README: no C or C++ example under \"Use the library\""
  exit 1
fi

export PKG_CONFIG_PATH="$stage/lib/pkgconfig" LD_LIBRARY_PATH="$stage/lib"
# shellcheck disable=SC2046  # pkg-config's flags are separate words
cc -std=c99 -Wall -Werror "$work/use.c" -o "$work/list" $(pkg-config --cflags --libs hllib)
cat >"$work/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.20)
project(use_hllib CXX)
find_package(hllib 1 REQUIRED)
add_executable(extract use.cpp)
target_compile_features(extract PRIVATE cxx_std_17)
target_link_libraries(extract PRIVATE hllib::hllib)
EOF
cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$stage" >/dev/null
cmake --build "$work/build" >/dev/null

cd "$work"
"$build/bin/hlmake" demo demo.gcf >/dev/null
"$stage/bin/hlextract" -p demo.gcf -l | grep -q 'root\\maps\\de_vault.bsp'
./list demo.gcf | grep -q '^maps/de_vault.bsp'$'\t'
./build/extract demo.gcf 'maps\de_vault.bsp' out | grep -q '^written de_vault.bsp$'
"$stage/bin/hlextract" -p demo.gcf -d check -e 'root\maps\de_vault.bsp' >/dev/null
cmp out/de_vault.bsp check/de_vault.bsp
echo "installed: the tool runs, and both examples build against the staged tree and read the demo"

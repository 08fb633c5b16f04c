#!/usr/bin/env bash
# Shows the project working end to end on a fresh Debian machine: builds the native tools, makes
# a demo package with hlmake, lists it and unpacks it with hlextract.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
build="$root/build/native"
demo="$root/build/demo"
package="$demo/demo.gcf"

section() {
  echo
  echo "=== $*"
}

build_native() {
  section "Building the native tools"
  cmake -S "$root" -B "$build" -G Ninja -DVAULTPICK_TARGET=native >/dev/null
  cmake --build "$build" -j 2 --target hlextract hlmake
}

make_package() {
  section "Making a demo package: hlmake demo $package"
  rm -rf "$demo"
  mkdir -p "$demo"
  "$build/bin/hlmake" demo "$package"
  ls -l "$package"
}

list_package() {
  section "Listing it: hlextract -p demo.gcf -l -v"
  "$build/bin/hlextract" -p "$package" -l -v
}

extract_package() {
  section "Unpacking it: hlextract -p demo.gcf -d out -e root\\"
  "$build/bin/hlextract" -p "$package" -d "$demo/out" -e "root\\"
  section "What was unpacked"
  (cd "$demo/out" && find . -mindepth 1 \( -type d -printf '%p/\n' \) \
    -o \( -type f -printf '%p  (%s bytes)\n' \) | sort)
}

bash scripts/setup.sh
build_native
make_package
list_package
extract_package
# The Windows program's step joins here: build/win64, then run it under Wine and Xvfb on the
# same package.

section "Done: the package and what was unpacked are in $demo"

#!/usr/bin/env bash
# Checks the tests' size against the product's (scripts/test-size.sh) and the program's layers
# (scripts/layers.sh), then builds the configurations and runs every test suite:
#   build/native  Debian g++     built, tests run natively; clang-tidy over our sources
#   build/win64   x86_64 MinGW   built, tests run under Wine (private prefix, Xvfb display)
#   build/win32   i686 MinGW     built, tests run under 32-bit Wine (a 32-bit prefix of its own)
#   build/asan    Debian g++     with AddressSanitizer and UBSan, native tests run again
# runs every shell example of README.md against the native build (scripts/readme-examples.sh),
# builds the fuzz harnesses (build/fuzz, clang; scripts/fuzz.sh runs them), and makes and checks
# the release artefacts (scripts/package-test.sh).
# Exits non-zero when any build or test fails; every step still runs so one report shows all.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
root="$PWD"
jobs=2

bash scripts/setup.sh || exit 1

failures=()
logs="$root/build/logs"
mkdir -p "$logs"
rm -f "$logs"/ctest-*.log

step() {  # step NAME COMMAND...: runs and times one step, remembering a failure
  local name="$1" start=$SECONDS
  shift
  echo "=== $name"
  if "$@"; then
    echo "=== $name: ok ($((SECONDS - start)) s)"
    return 0
  fi
  echo "=== $name: FAILED ($((SECONDS - start)) s)"
  failures+=("$name")
  return 1
}

build() {  # build NAME [CMAKE ARGS...]
  local name="$1"
  shift
  cmake -S "$root" -B "$root/build/$name" -G Ninja "$@" && cmake --build "$root/build/$name" -j "$jobs"
}

run_ctest() {  # run_ctest NAME: CTest over build/NAME, its output kept for the summary
  ctest --test-dir "$root/build/$1" --output-on-failure --no-tests=error -j "$jobs" 2>&1 |
    tee "$logs/ctest-$1.log"
}

# The tests' size against the product's first: a failure here needs no build to show.
step "test size" bash scripts/test-size.sh
# Each program folder includes only the folders below it (ARCHITECTURE.md).
step "layers" bash scripts/layers.sh
# Every Win32 file call takes its path through the one conversion that lifts the length limit.
step "Win32 paths" bash scripts/raw-paths.sh
step "build native" build native -DVAULTPICK_TARGET=native && native_built=1 || native_built=0
step "build win64" build win64 -DVAULTPICK_TARGET=win64 && win64_built=1 || win64_built=0
step "build win32" build win32 -DVAULTPICK_TARGET=win32 && win32_built=1 || win32_built=0
# The native tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
# shellcheck source=scripts/asan-flags.sh
source "$root/scripts/asan-flags.sh"
step "build asan" build asan "${asan_cmake_args[@]}" && asan_built=1 || asan_built=0

# The shared library of every build exports hl_* alone; natively under the SONAME libhllib.so.1.
built=()
for name in native win64 win32; do
  flag="${name}_built"
  [ "${!flag}" = 1 ] && built+=("$root/build/$name")
done
[ "${#built[@]}" -gt 0 ] && step "library exports" bash scripts/exports.sh "${built[@]}"
[ "$native_built" = 1 ] && step "test native" run_ctest native
[ "$asan_built" = 1 ] && step "test asan" run_ctest asan
# Every shell example of the README, on a fresh folder against the demo package.
[ "$native_built" = 1 ] && step "README examples" bash scripts/readme-examples.sh "$root/build/native"
# cmake --install into an empty prefix, and the README's C and C++ examples built against it.
[ "$native_built" = 1 ] && step "install" bash scripts/install-test.sh "$root/build/native"
# The fuzz harnesses call the library as a caller does: built here, they follow its changes.
step "build fuzz harnesses" bash scripts/fuzz.sh 0

# clang-tidy (.clang-tidy) over our own sources: those the native build compiles, then the
# Windows-only ones (*_win32.cpp) from the win64 build, parsed by clang for the MinGW target
# with MinGW's libstdc++.
own_sources="^$root/(hllib|hlextract|tools|startup|toolbridge|ui|actions|association|controls|win32)/"
clang_tidy() {  # clang_tidy NAME [RUN-CLANG-TIDY ARGS...]: over build/NAME's compile commands
  local name="$1"
  shift
  local log="$logs/clang-tidy-$name.log"
  run-clang-tidy-14 -p "$root/build/$name" -j "$jobs" -quiet "$@" >"$log" 2>&1 ||
    { grep -E "(error|warning):" "$log"; return 1; }
}
[ "$native_built" = 1 ] && step "clang-tidy native" clang_tidy native "$own_sources"
mingw_cxx="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")/include/c++"
[ "$win64_built" = 1 ] && step "clang-tidy win64" clang_tidy win64 \
  -extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-isystem"$mingw_cxx" \
  -extra-arg=-isystem"$mingw_cxx/x86_64-w64-mingw32" "$own_sources.*_win32\.cpp\$"

# --- Windows tests under Wine -------------------------------------------------------------------
# shellcheck source=scripts/windows-env.sh
source "$root/scripts/windows-env.sh"
windows_env_dir="$root/build"
windows_env_logs="$logs"
trap stop_windows_env EXIT
trap 'exit 130' INT TERM

windows_env_up=0
if [ "$win64_built" = 1 ] || [ "$win32_built" = 1 ]; then
  step "start Xvfb and Wine" start_windows_env && windows_env_up=1
fi
[ "$windows_env_up" = 1 ] && [ "$win64_built" = 1 ] && step "test win64 (Wine)" run_ctest win64
# The 32-bit loader in a fresh 32-bit prefix; the 64-bit one is stopped first.
[ "$windows_env_up" = 1 ] && [ "$win32_built" = 1 ] && step "start 32-bit Wine" start_wine_win32 &&
  step "test win32 (32-bit Wine)" run_ctest win32
# The release artefacts: made from these builds, their contents listed, each one run.
[ "$native_built" = 1 ] && [ "$win64_built" = 1 ] && [ "$win32_built" = 1 ] &&
  step "packages" bash scripts/package-test.sh

# --- summary ------------------------------------------------------------------------------------
echo
echo "=== summary"
for log in "$logs"/ctest-*.log; do
  [ -f "$log" ] || continue
  echo "--- $(basename "$log" .log | sed 's/^ctest-//')"
  grep -E "tests passed|tests failed out of|No tests were found|Total Test time" "$log"
done
if [ "${#failures[@]}" -gt 0 ]; then
  echo "FAILED: ${failures[*]}"
  exit 1
fi
echo "all builds and tests passed"

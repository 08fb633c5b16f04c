# shellcheck shell=bash
# Sourced, not run: the CMake arguments of the AddressSanitizer and UndefinedBehaviorSanitizer
# build, shared by scripts/test.sh (build/asan) and scripts/mutation.sh; defines
# asan_cmake_args. Any report aborts the test. -O1 and line tables only keep the build short.
sanitize="-O1 -g1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"
# shellcheck disable=SC2034  # used by the scripts that source this one
asan_cmake_args=(-DVAULTPICK_TARGET=native -DVAULTPICK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Sanitize
  "-DCMAKE_CXX_FLAGS=$sanitize" "-DCMAKE_C_FLAGS=$sanitize"
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
  "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined")

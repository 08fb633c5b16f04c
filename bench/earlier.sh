# shellcheck shell=bash
# Sourced by the benchmarks: builds an earlier revision, so a change is judged against the tool
# or program of that revision measured alike in the same run.
#   build_earlier REVISION SOURCE-FOLDER BUILD-FOLDER TARGET [CMAKE ARGUMENTS...]
build_earlier() {
  local revision="$1" source="$2" build="$3" target="$4"
  shift 4
  rm -rf "$source"
  mkdir -p "$source"
  git archive "$revision" | tar -x -C "$source"
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAULTPICK_BUILD_TESTS=OFF \
    "$@" >/dev/null
  cmake --build "$build" -j 2 --target "$target" >/dev/null
}

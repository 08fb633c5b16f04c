#!/usr/bin/env bash
# Runs CTest over an already built Windows tree under Wine, on a display and prefix of its own:
#   bash scripts/wine-ctest.sh build/win64 -R 'Form2|Info'   (build/win32 works too)
# Everything after the build folder goes to ctest. For quick runs while developing;
# scripts/test.sh is the whole check.
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [CTEST ARGS...]" >&2; exit 2; }
build_dir="$(cd "$1" && pwd)" || exit 1
shift
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# shellcheck source=scripts/windows-env.sh
source "$root/scripts/windows-env.sh"
windows_env_dir="$build_dir/wine-env"
windows_env_logs="$build_dir/wine-env"
trap stop_windows_env EXIT
trap 'exit 130' INT TERM

start_windows_env >/dev/null || exit 1
# A 32-bit build's programs run under the 32-bit loader, in a 32-bit prefix.
if grep -qx 'VAULTPICK_TARGET:STRING=win32' "$build_dir/CMakeCache.txt" 2>/dev/null; then
  start_wine_win32 >/dev/null || exit 1
fi
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error "$@"

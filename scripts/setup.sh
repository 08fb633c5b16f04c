#!/usr/bin/env bash
# Installs every Debian package the builds, tests and benchmarks need, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  zlib1g-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
  wine64 xvfb xauth time hyperfine
  python3 x11-apps x11-utils imagemagick  # the program's icon is drawn at build time; demo screenshot
  clang clang-tidy libclang-rt-14-dev  # fuzzing (libFuzzer is in libclang-rt-14-dev), analysis
  zip unzip dpkg-dev  # the release artefacts (scripts/package.sh)
)

# The win32 build's tests run under Debian's 32-bit Wine, a package of the i386 architecture.
packages+=(wine32:i386)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

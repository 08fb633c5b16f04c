#!/usr/bin/env bash
# Makes the release artefacts (scripts/package.sh) into an empty folder and checks them:
# - each holds what a release names and nothing more; HLLib.def lists what HLLib.dll exports;
# - the Debian package's dependencies were computed, and unpacked into an empty root, its own
#   hlextract (with its own libhllib.so.1) extracts a file of the demo package as the build's does;
# - each zip, unpacked, passes the program's end-to-end tests: its build's vaultpick_tests.exe,
#   put beside its files, starts that folder's Vaultpick.exe under Wine (64-bit, then 32-bit),
#   which lists a package, and reads the manifests of its Vaultpick.exe and HLExtract.exe.
#   bash scripts/package-test.sh
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
work=$(mktemp -d)
# shellcheck source=scripts/windows-env.sh
source "$root/scripts/windows-env.sh"
windows_env_dir="$work/wine-env"
windows_env_logs="$work/wine-env"
trap 'stop_windows_env; rm -rf "$work"' EXIT

bash scripts/package.sh "$work/packages" >/dev/null
version=$(sed -n 's/^project(Vaultpick VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
packages="$work/packages"
failed=0
fail() { echo "package test: $*" >&2; failed=1; }

expect_contents() {  # expect_contents ARTEFACT ACTUAL...: the listing against the lines on stdin
  local artefact="$1" expected
  shift
  expected=$(sort)
  diff <(echo "$expected") <(printf '%s\n' "$@" | sort) >/dev/null ||
    fail "$artefact holds $(printf '%s ' "$@"); expected $(echo "$expected" | tr '\n' ' ')"
}

for arch in win64 win32; do
  name="vaultpick-$version-$arch"
  mapfile -t listed < <(unzip -Z1 "$packages/$name.zip" | grep -v '/$')
  expect_contents "$name.zip" "${listed[@]}" <<EOF
$name/Vaultpick.exe
$name/HLExtract.exe
$name/HLLib.dll
$name/HLLib.def
$name/include/hllib/hllib.h
$name/include/hllib/hllib.hpp
$name/include/hllib/export.h
$name/include/hllib/version.h
$name/README.md
$name/LICENSE
$name/CHANGELOG.md
EOF
  unzip -q "$packages/$name.zip" -d "$work/$arch"
  report=$(bash scripts/exports.sh "$work/$arch/$name") || fail "$name: $report"
done

deb="$packages/hlextract_${version}_amd64.deb"
mapfile -t listed < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }')
expect_contents "$(basename "$deb")" "${listed[@]}" <<EOF
usr/bin/hlextract
usr/lib/libhllib.so
usr/lib/libhllib.so.1
usr/lib/libhllib.so.$version
usr/include/hllib/hllib.h
usr/include/hllib/hllib.hpp
usr/include/hllib/export.h
usr/include/hllib/version.h
usr/lib/pkgconfig/hllib.pc
usr/lib/cmake/hllib/hllibConfig.cmake
usr/lib/cmake/hllib/hllibConfigVersion.cmake
usr/lib/cmake/hllib/hllibTargets.cmake
usr/lib/cmake/hllib/hllibTargets-release.cmake
usr/share/man/man1/hlextract.1.gz
usr/share/doc/hlextract/copyright
usr/share/doc/hlextract/changelog.gz
EOF
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *"libc6 (>="* && "$depends" == *"libstdc++6 (>="* ]] ||
  fail "the Debian package's dependencies are not computed: '$depends'"
dpkg-deb -x "$deb" "$work/root"
build/native/bin/hlmake demo "$work/demo.gcf" >/dev/null
(
  cd "$work"
  env -u LD_LIBRARY_PATH root/usr/bin/hlextract -p demo.gcf -d packaged -e 'root\maps\de_vault.bsp'
  "$root/build/native/bin/hlextract" -p demo.gcf -d built -e 'root\maps\de_vault.bsp'
  cmp packaged/de_vault.bsp built/de_vault.bsp
  env -u LD_LIBRARY_PATH ldd root/usr/bin/hlextract | grep -q "$work/root/usr/bin/../lib/libhllib.so.1"
) >/dev/null || fail "the Debian package's hlextract, unpacked, does not extract as the build's"

end_to_end() {  # end_to_end win64|win32: the program's end-to-end tests beside that zip's files
  local folder="$work/$1/vaultpick-$version-$1" log="$work/end-to-end-$1.log"
  cp "build/$1/bin/vaultpick_tests.exe" "$folder/"
  if ! bash scripts/wine-run.sh "$folder/vaultpick_tests.exe" --gtest_filter='EndToEnd.*' \
    >"$log" 2>&1 || ! grep -q "^\[  PASSED  \] 2 tests" "$log"; then
    cat "$log"
    fail "the $1 zip's program does not pass the end-to-end tests from its own folder"
  fi
}
# A 64-bit Wine of its own, whatever loader the caller's environment chose; then the 32-bit one.
unset WINE WINEARCH
start_windows_env >"$work/wine-env.log" || { cat "$work/wine-env.log"; exit 1; }
end_to_end win64
start_wine_win32 >"$work/wine-env.log" || { cat "$work/wine-env.log"; exit 1; }
end_to_end win32

[ "$failed" = 0 ] && echo "packages: the zips and the Debian package hold what a release names and run"
exit "$failed"

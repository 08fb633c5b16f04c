#!/usr/bin/env bash
# Makes the release artefacts of the version in CMakeLists.txt from the builds that
# scripts/test.sh makes (build/native, build/win64, build/win32; configured and brought up to
# date first), into OUT_FOLDER (build/packages unless given; made with its parents):
#   vaultpick-<version>-win64.zip and vaultpick-<version>-win32.zip, each one folder of that name
#     holding Vaultpick.exe, HLExtract.exe, HLLib.dll, HLLib.def (for an import library:
#     `lib /def:HLLib.def /machine:x64` with MSVC), include/hllib/ with the headers, README.md,
#     LICENSE and CHANGELOG.md;
#   hlextract_<version>_amd64.deb: the tool with its manual page, libhllib.so.1, the headers,
#     the pkg-config and CMake files, under /usr, with its dependencies computed by
#     dpkg-shlibdeps.
# An artefact of the same name in OUT_FOLDER is replaced, once the new one is complete.
#   bash scripts/package.sh [OUT_FOLDER]
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
out="${1:-$root/build/packages}"
version=$(sed -n 's/^project(Vaultpick VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash scripts/setup.sh >/dev/null
for target in native win64 win32; do
  cmake -S "$root" -B "build/$target" -G Ninja -DVAULTPICK_TARGET="$target" >/dev/null
done
cmake --build build/native -j 2 --target hlextract hllib >/dev/null
for target in win64 win32; do
  cmake --build "build/$target" -j 2 --target vaultpick hlextract hllib >/dev/null
done

zip_release() {  # zip_release win64|win32
  local name="vaultpick-$version-$1"
  local folder="$work/$1/$name" bin="build/$1/bin"
  mkdir -p "$folder"
  cp "$bin/vaultpick.exe" "$folder/Vaultpick.exe"
  cp "$bin/HLExtract.exe" "$bin/HLLib.dll" "$bin/HLLib.def" README.md LICENSE CHANGELOG.md \
    "$folder/"
  # The headers as the build's install rules give them.
  cmake --install "build/$1" --prefix "$work/$1-install" >/dev/null
  cp -r "$work/$1-install/include" "$folder/"
  (cd "$work/$1" && zip -qrX "$work/$name.zip" "$name")
}

debian_package() {
  local name="hlextract" architecture
  architecture=$(dpkg --print-architecture)
  # dpkg-shlibdeps works in a source tree's layout: debian/control, the staged debian/<name>.
  local stage="$work/deb/debian/$name"
  mkdir -p "$stage/DEBIAN" "$stage/usr/share/doc/$name"
  DESTDIR="$stage" cmake --install build/native --prefix /usr --strip >/dev/null
  gzip -9n "$stage/usr/share/man/man1/hlextract.1"
  cp LICENSE "$stage/usr/share/doc/$name/copyright"
  gzip -9nc CHANGELOG.md >"$stage/usr/share/doc/$name/changelog.gz"
  # The library's soname to the package that gives it, for programs built against it.
  echo "libhllib 1 $name (>= $version)" >"$stage/DEBIAN/shlibs"
  echo "activate-noawait ldconfig" >"$stage/DEBIAN/triggers"
  printf 'Source: %s\n\nPackage: %s\nArchitecture: %s\n' "$name" "$name" "$architecture" \
    >"$work/deb/debian/control"
  local depends
  depends=$(cd "$work/deb" && dpkg-shlibdeps -O -x"$name" -l"debian/$name/usr/lib" \
    "debian/$name/usr/bin/hlextract" "debian/$name/usr/lib/libhllib.so.$version" |
    sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { echo "package: dpkg-shlibdeps computed no dependencies" >&2; exit 1; }
  cat >"$stage/DEBIAN/control" <<EOF
Package: $name
Version: $version
Architecture: $architecture
Maintainer: Vaultpick developers <vaultpick@users.invalid>
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Section: utils
Priority: optional
Description: lists, extracts, validates and defragments GCF and NCF game-cache packages
 hlextract is a command-line tool for the game client's GCF and NCF packages: it lists
 their files, extracts and validates them, and defragments GCF packages. The package also
 holds its library, libhllib, with its C and C++ headers, pkg-config and CMake files.
EOF
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$work/${name}_${version}_$architecture.deb" \
    >/dev/null
}

zip_release win64
zip_release win32
debian_package
mkdir -p "$out"
for artefact in "$work"/*.zip "$work"/*.deb; do
  mv -f "$artefact" "$out/"
  echo "$out/$(basename "$artefact")"
done

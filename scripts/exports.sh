#!/usr/bin/env bash
# The shared library exports the C interface and nothing else: every name HLLib.dll exports, and
# every symbol libhllib.so defines for others, is an hl_* function; libhllib.so carries the
# SONAME of its major version and each hl_* symbol that version's node. HLLib.def, beside the
# DLL, lists exactly what it exports.
#   bash scripts/exports.sh FOLDER...   (build folders, native or Windows; or folders that hold
#                                        HLLib.dll itself, as a release does)
set -uo pipefail

status=0
fail() { echo "$1"; status=1; }

for build in "$@"; do
  dll="$build/bin/HLLib.dll"
  [ -e "$build/HLLib.dll" ] && dll="$build/HLLib.dll"
  if [ -e "$dll" ]; then
    names=$(objdump -p "$dll" |
      sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
    [ -n "$names" ] || fail "$dll exports nothing"
    others=$(grep -v '^hl_' <<<"$names" | head -5)
    [ -z "$others" ] || fail "$dll exports more than hl_*: $others"
    def="${dll%.dll}.def"
    listed=$(awk '/^EXPORTS/ { on = 1; next } on { print $1 }' "$def" 2>/dev/null)
    [ "$(sort <<<"$listed")" = "$(sort <<<"$names")" ] || fail "$def does not list what $dll exports"
  else
    library="$build/lib/libhllib.so"
    major=$(sed -n 's/^project(Vaultpick VERSION \([0-9]*\)\..*/\1/p' \
      "$(dirname "${BASH_SOURCE[0]}")/../CMakeLists.txt")
    soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
    [ "$soname" = "libhllib.so.$major" ] || fail "$library: SONAME '$soname', not libhllib.so.$major"
    # Defined dynamic symbols: name and version node; the node's own entry names itself.
    defined=$(objdump -T "$library" |
      awk '/ D[FO] / && !/\*UND\*/ && NF >= 6 && $NF != $(NF - 1) {print $(NF - 1), $NF}')
    others=$(grep -v "^HLLIB_$major hl_" <<<"$defined" | head -5)
    [ -z "$others" ] || fail "$library exports more than hl_* in HLLIB_$major: $others"
  fi
done
[ "$status" = 0 ] && echo "the shared libraries export the C interface only"
exit "$status"

#!/usr/bin/env bash
# The program's layers (ARCHITECTURE.md, "Layers and includes"): fails when a program folder
# includes a folder beside or above it, naming each such line. Only `#include "folder/...`
# lines are read; resources/ is open to every folder but win32/.
#   bash scripts/layers.sh
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1

declare -A may_include=(
  [startup]="startup actions association ui toolbridge controls win32 resources"
  [actions]="actions ui toolbridge controls win32 resources"
  [association]="association ui toolbridge controls win32 resources"
  [ui]="ui toolbridge controls win32 resources"
  [toolbridge]="toolbridge win32 resources"
  [controls]="controls win32 resources"
  [win32]="win32"
)

status=0
for folder in "${!may_include[@]}"; do
  while IFS= read -r hit; do
    [[ "$hit" =~ include[[:space:]]+\"([^\"/]+)/ ]] || continue
    included="${BASH_REMATCH[1]}"
    case " ${may_include[$folder]} " in
      *" $included "*) ;;
      *)
        echo "$folder/ may not include $included/: $hit"
        status=1
        ;;
    esac
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' "$folder")
done
[ "$status" = 0 ] && echo "every program folder includes only the folders below it"
exit "$status"

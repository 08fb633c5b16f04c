#!/usr/bin/env bash
# Every path the library and the program hand to a Win32 file call goes through their one
# conversion, win32Path (absolute, normalised, marked for any length): fails naming each call
# whose path argument does not. A call taking two paths needs the conversion twice on its line.
#   bash scripts/raw-paths.sh
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1

one_path='CreateFileW|CreateDirectoryW|DeleteFileW|RemoveDirectoryW|GetFileAttributesW|GetFileAttributesExW|SetFileAttributesW|FindFirstFileW|FindFirstFileExW'
two_paths='MoveFileW|MoveFileExW|CopyFileW|CopyFileExW|ReplaceFileW|CreateHardLinkW|CreateSymbolicLinkW'
folders=(hllib hlextract startup actions association ui toolbridge controls win32)

status=0
while IFS= read -r hit; do
  line="${hit#*:*:}"
  if [[ "$line" =~ ($two_paths)\( ]]; then
    [[ "$line" =~ ($two_paths)\(win32Path\(.*,\ *win32Path\( ]] && continue
  elif [[ "$line" =~ ($one_path)\(win32Path\( ]]; then
    continue
  fi
  echo "a raw path reaches the Win32 file API: $hit"
  status=1
done < <(grep -rnE "\\b($one_path|$two_paths)\\(" --include='*.cpp' --include='*.h' "${folders[@]}")
[ "$status" = 0 ] && echo "every Win32 file call takes its path through win32Path"
exit "$status"

#!/usr/bin/env bash
# Runs one Windows program under Wine: scripts/wine-run.sh PROGRAM.exe [ARGS...]
# CTest and test discovery use it as the cross-compiling emulator of the Windows builds.
#
# The caller chooses the Wine prefix (WINEPREFIX): this script never falls back to ~/.wine, so
# test runs cannot share state with each other or with a desktop user. Arguments and paths go to
# Wine untouched. Start a persistent `wineserver -p` for the prefix first when running many
# programs; otherwise every run pays for a fresh wineserver.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: WINEPREFIX is not set; refusing to run $1 in a shared prefix" >&2
  exit 2
fi
# drive_c rather than system.reg: a persistent wineserver writes the registry out only later.
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "wine-run: $WINEPREFIX is not an initialised Wine prefix (run: WINEPREFIX=... wineboot -i)" >&2
  exit 2
fi

# Debian ships the loader as wine64 (in /usr/lib/wine, not on PATH) unless wine32 is installed.
wine_bin="${WINE:-}"
if [ -z "$wine_bin" ]; then
  for candidate in wine wine64 /usr/lib/wine/wine64 /usr/lib/wine/wine; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wine_bin="$candidate"
      break
    fi
  done
fi
if [ -z "$wine_bin" ]; then
  echo "wine-run: no Wine loader found (tried wine, wine64, /usr/lib/wine/wine64)" >&2
  exit 2
fi

export WINEDEBUG=-all
exec "$wine_bin" "$@"

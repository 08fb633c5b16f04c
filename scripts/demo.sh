#!/usr/bin/env bash
# Shows the project working end to end on a fresh Debian machine: builds the native tools, makes
# a demo package with hlmake, lists it and unpacks it with hlextract.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
builds="${VAULTPICK_BUILDS:-$root/build}"  # where the builds go; build/ unless told otherwise
build="$builds/native"
win64="$builds/win64"
demo="$builds/demo"
package="$demo/demo.gcf"

section() {
  echo
  echo "=== $*"
}

build_native() {
  section "Building the native tools"
  cmake -S "$root" -B "$build" -G Ninja -DVAULTPICK_TARGET=native >/dev/null
  cmake --build "$build" -j 2 --target hlextract hlmake
}

make_package() {
  section "Making a demo package: hlmake demo $package"
  rm -rf "$demo"
  mkdir -p "$demo"
  "$build/bin/hlmake" demo "$package"
  ls -l "$package"
}

list_package() {
  section "Listing it: hlextract -p demo.gcf -l --verbose"
  "$build/bin/hlextract" -p "$package" -l --verbose
}

extract_package() {
  section "Unpacking it: hlextract -p demo.gcf -d out -e root\\"
  "$build/bin/hlextract" -p "$package" -d "$demo/out" -e "root\\"
  section "What was unpacked"
  (cd "$demo/out" && find . -mindepth 1 \( -type d -printf '%p/\n' \) \
    -o \( -type f -printf '%p  (%s bytes)\n' \) | sort)
}

stop_program() {  # the program, the prefix's Wine server and our own Xvfb, whichever run
  if [ -n "${program_pid:-}" ]; then kill "$program_pid" 2>/dev/null || true; fi
  "${wineserver_bin:-wineserver}" -k >/dev/null 2>&1 || true
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  program_pid="" xvfb_pid=""
}

# The Windows program under Wine, on the same package: on the user's display when there is one,
# else on an Xvfb of its own, with a screenshot saved.
show_program() {
  section "Building the Windows program: $win64"
  cmake -S "$root" -B "$win64" -G Ninja -DVAULTPICK_TARGET=win64 >/dev/null
  cmake --build "$win64" -j 2 --target vaultpick

  local wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
  command -v wine64 >/dev/null 2>&1 && wine=wine64
  command -v wineserver >/dev/null 2>&1 && wineserver=wineserver
  export WINEPREFIX="$builds/demo-wine-prefix" WINEDEBUG=-all
  xvfb_pid="" program_pid="" wineserver_bin="$wineserver"
  trap stop_program EXIT
  if [ -z "${DISPLAY:-}" ]; then
    rm -f "$demo/xvfb.display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/xvfb.display" \
      >"$demo/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$demo/xvfb.display" ] && break; sleep 0.1; done
    export DISPLAY=":$(tr -d '[:space:]' <"$demo/xvfb.display")"
  fi
  if [ ! -d "$WINEPREFIX/drive_c" ]; then
    section "Making a Wine prefix for the demo: $WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >"$demo/wineboot.log" 2>&1
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
  fi

  # The program takes its package in double quotes, as a double-click in the shell gives it;
  # Wine quotes an argument only when it holds a space, so the program gets a copy named so.
  local shown="$demo/Vaultpick demo.gcf"
  cp "$package" "$shown"
  local windows_path="Z:${shown//\//\\}"
  section "Starting vaultpick.exe \"$windows_path\" under Wine on $DISPLAY"
  if [ -z "$xvfb_pid" ]; then
    echo "(close the window to end the demo)"
    "$wine" "$win64/bin/vaultpick.exe" "$windows_path"
  else
    "$wine" "$win64/bin/vaultpick.exe" "$windows_path" &
    program_pid=$!
    for _ in $(seq 200); do
      xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep -q '"Vaultpick - by Morvane"' &&
        break
      sleep 0.1
    done
    sleep 1  # let it paint
    # ImageMagick's own convert: another program of that name may come first on the PATH.
    local convert=/usr/bin/convert
    [ -x "$convert" ] || convert=convert
    xwd -root -display "$DISPLAY" | "$convert" xwd:- "$demo/vaultpick.png"
    echo "Screenshot of the window listing the package: $demo/vaultpick.png"
  fi
  stop_program
  trap - EXIT
}

bash scripts/setup.sh
build_native
make_package
list_package
extract_package
show_program

section "Done: the package and what was unpacked are in $demo"

# Sourced, not run: an Xvfb display of our own and a fresh private Wine prefix with one
# wineserver kept alive, for anything that runs Windows programs under Wine.
# The caller sets windows_env_dir (where the prefix and the display file go) and
# windows_env_logs, calls start_windows_env, and stop_windows_env on exit. Programs of a
# 32-bit build need start_wine_win32 as well (after start_windows_env): a 32-bit prefix of its
# own, run by the 32-bit loader.

wine_bin=""
for candidate in wine wine64 /usr/lib/wine/wine64; do
  command -v "$candidate" >/dev/null 2>&1 && { wine_bin="$candidate"; break; }
done
# Debian's 32-bit loader (wine32:i386); `wine` on PATH is only its wrapper package.
wine32_bin=/usr/lib/wine/wine
wineserver_bin=""
for candidate in wineserver /usr/lib/wine/wineserver; do
  command -v "$candidate" >/dev/null 2>&1 && { wineserver_bin="$candidate"; break; }
done

xvfb_pid=""
wineserver_pid=""
stop_wine() {
  if [ -n "$wineserver_pid" ]; then
    "$wineserver_bin" -k >/dev/null 2>&1 || true
    wait "$wineserver_pid" 2>/dev/null || true
    wineserver_pid=""
  fi
}
stop_windows_env() {
  stop_wine
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}

start_display() {  # an Xvfb of our own on the first free display; exports DISPLAY
  local fdfile="$windows_env_dir/xvfb.display"
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" \
    >"$windows_env_logs/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb failed to start"; return 1; }
    sleep 0.1
  done
  [ -s "$fdfile" ] || { echo "Xvfb did not report a display"; return 1; }
  DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
  export DISPLAY
  echo "Xvfb on $DISPLAY"
}

start_wine() {  # start_wine [PREFIX NAME]: a fresh private prefix, one wineserver kept alive
  if [ -z "$wine_bin" ] || [ -z "$wineserver_bin" ]; then
    echo "Wine is not installed"
    return 1
  fi
  export WINEPREFIX="$windows_env_dir/${1:-wine-prefix}"
  export WINEDEBUG=-all
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wineserver_bin" -p >"$windows_env_logs/wineserver.log" 2>&1 &
  wineserver_pid=$!
  # No Mono or Gecko install prompts in the fresh prefix.
  WINEDLLOVERRIDES="mscoree,mshtml=" "$wine_bin" wineboot -i \
    >"$windows_env_logs/wineboot.log" 2>&1 || {
    cat "$windows_env_logs/wineboot.log"
    return 1
  }
  # A crashing test must end at once with its exception code as exit status. With winedbg as
  # the crash debugger (Wine's default) the status is sometimes 0 and a crash passes as a
  # success, so: no debugger, and no crash dialog waiting on the hidden display.
  # Windows are not left to a window manager: there is none on the Xvfb display, and Wine
  # would wait 2 s for one each time a window that it manages is hidden or destroyed.
  if ! "$wine_bin" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /t REG_SZ /d "" /f >/dev/null 2>&1 ||
    ! "$wine_bin" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1 ||
    ! "$wine_bin" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1; then
    echo "could not configure the Wine prefix"
    return 1
  fi
  # Drive Q: is an empty folder of its own, for tests that need a drive's root as a folder.
  rm -rf "$windows_env_dir/drive-q"
  mkdir -p "$windows_env_dir/drive-q"
  ln -sfn "$windows_env_dir/drive-q" "$WINEPREFIX/dosdevices/q:"
  echo "Wine prefix $WINEPREFIX ($("$wine_bin" --version))"
}

start_windows_env() {
  mkdir -p "$windows_env_dir" "$windows_env_logs"
  start_display && start_wine
}

start_wine_win32() {  # from here on, Wine runs 32-bit programs in a 32-bit prefix of its own
  [ -x "$wine32_bin" ] || { echo "32-bit Wine is not installed (wine32:i386)"; return 1; }
  stop_wine
  wine_bin="$wine32_bin"
  export WINEARCH=win32
  # scripts/wine-run.sh, CTest's runner of Windows programs, takes this loader too.
  export WINE="$wine32_bin"
  start_wine wine-prefix-win32
}

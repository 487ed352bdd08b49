# Wine's own programs (wineboot, regedit, reg, regsvr32) come in both
# bitnesses, and Debian's `wine` starts the 32-bit ones whenever wine32 is
# installed. $wine64 starts the 64-bit ones, which see the registry and load
# the DLL as the 64-bit build needs; the 64-bit loader is not on PATH.
wine64=wine
[ -x /usr/lib/wine/wine64 ] && wine64=/usr/lib/wine/wine64

# wine_scratch BUILD_DIR NAME: a fresh folder BUILD_DIR/NAME ($work) with
# ports/ and out/, and the environment for a 64-bit prefix in it
# ($WINEPREFIX, $drive_c), with no display. The prefix itself is made by
# make_wine_prefix.
wine_scratch() {
  work=$(mkdir -p "$1" && cd "$1" && pwd)/$2
  rm -rf "$work"
  mkdir -p "$work/ports" "$work/out"
  export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY
  drive_c="$WINEPREFIX/drive_c"
}

# make_wine_prefix [REG_TEXT]: a fresh Wine prefix at $WINEPREFIX whose
# COM1..COM16 lead to links in $work/ports (a link that leads nowhere is a
# port that does not exist), with the crash dialog off so that a crashing
# program ends at once. REG_TEXT, in .reg syntax, is merged in as well.
# Leaves no wineserver running: Wine reads the port mapping when the prefix
# starts, so the caller starts the server of its choice afterwards. Sourced;
# writes its logs to $work/out.
make_wine_prefix() {
  local n
  mkdir -p "$WINEPREFIX"  # the server needs its prefix to exist
  wineserver -p >/dev/null 2>&1 || true
  "$wine64" wineboot -i >"$work/out/wineboot.log" 2>&1
  {
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
    for n in $(seq 1 16); do printf '"COM%d"="%s"\n' "$n" "$work/ports/com$n"; done
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n'
    if [ -n "${1:-}" ]; then printf '\n%s' "$1"; fi
  } >"$work/out/setup.reg"
  "$wine64" regedit /S "$(winepath -w "$work/out/setup.reg" 2>/dev/null)" >"$work/out/regedit.log" 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  return 0
}

# ensure_port_mapping N: once the prefix's server runs, checks that COMN
# leads into $work/ports. Now and then Wine's restarted services keep their
# default links; importing the mapping again and restarting fixes that.
ensure_port_mapping() {
  local attempt
  for attempt in 1 2 3; do
    "$wine64" cmd /c exit >/dev/null 2>&1  # starts the prefix's services
    [ "$(readlink "$WINEPREFIX/dosdevices/com$1")" = "$work/ports/com$1" ] && return 0
    echo "# COM$1 leads to '$(readlink "$WINEPREFIX/dosdevices/com$1")': the mapping is made again"
    "$wine64" regedit /S "$(winepath -w "$work/out/setup.reg" 2>/dev/null)" >>"$work/out/regedit.log" 2>&1
    wineserver -k >/dev/null 2>&1
    wineserver -w
    wineserver -p >/dev/null 2>&1
  done
  return 1
}

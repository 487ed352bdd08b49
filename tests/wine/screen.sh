# start_wine_screen LOG [DISPLAY]: an Xvfb of its own for the prefix at
# $WINEPREFIX (or the display given, for a person to use), with Wine's own
# fonts in the prefix (so dialogs are laid out with the fonts Windows has, not
# the host's) and window frames drawn by Wine (Xvfb has no window manager).
# The Wine server restarts so that every program from now on sees the
# display. Sets DISPLAY and screen_pid (empty for a given display); the
# caller stops screen_pid. Sourced.
start_wine_screen() {
  local display=${2:-} i
  screen_pid=""
  if [ -z "$display" ]; then
    i=$(( 50 + $$ % 400 ))
    while [ -e "/tmp/.X11-unix/X$i" ]; do i=$((i + 1)); done
    display=":$i"
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$1" 2>&1 &
    screen_pid=$!
    for i in $(seq 200); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
    [ -e "/tmp/.X11-unix/X${display#:}" ] || { echo "Xvfb $display did not start" >&2; return 1; }
  fi
  wineserver -k >/dev/null 2>&1
  wineserver -w
  export DISPLAY=$display
  wineserver -p >/dev/null 2>&1
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  [ -z "$screen_pid" ] ||
    "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}

# screen_shot FILE X Y W H: that rectangle of the screen as a PNG.
screen_shot() { import -window root -crop "${4}x${5}+${2}+${3}" +repage "$1"; }

# shot_step STEP FOLDER: the "shot-NAME-X-Y-W-H" step of a test program, saved
# as FOLDER/NAME.png. The name may hold dashes; the last four fields are the
# rectangle.
shot_step() {
  local name=${1#shot-} parts n
  IFS=- read -ra parts <<<"$name"
  n=${#parts[@]}
  name=${name%-*-*-*-*}
  screen_shot "$2/$name.png" "${parts[n-4]}" "${parts[n-3]}" "${parts[n-2]}" "${parts[n-1]}"
}

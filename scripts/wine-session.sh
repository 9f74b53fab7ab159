# Sourced by the scripts that run the Windows build under Wine: a private
# Wine prefix under the Windows build folder and a private X display
# (Xvfb), both ended when the script exits.
#
#   start_wine_session OUT   (OUT: the Windows build folder; needs wine,
#                             wine64, xvfb, xauth and xdotool installed)
start_wine_session() {
  local out=$1
  export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  local display=""
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
  done
  [ -n "$display" ] || { echo "wine-session: no free X display" >&2; return 1; }
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  wine_session_xvfb=$!
  trap end_wine_session EXIT
  export DISPLAY=$display
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  timeout 300 wine wineboot -i >"$out/wineboot.log" 2>&1
}

end_wine_session() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$wine_session_xvfb" 2>/dev/null || true
}

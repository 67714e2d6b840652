# Shell functions for the screenshot scripts, to be sourced: a private Xvfb
# display, a program started on it, its windows found by title, keys typed
# into them and a window saved as a PNG. Needs Xvfb, xwininfo and xwd
# (x11-utils, x11-apps), ImageMagick and python3. Everything it starts and
# makes is gone when the script exits.

work="$(mktemp -d)"
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb on the first free display number from 90 up, listening on its
# local socket only, and points DISPLAY at it.
start_display() {
  local display=90
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
  done
}

# Starts the program with the arguments that follow in $work, on the display.
start_program() {
  (cd "$work" && QT_QPA_PLATFORM=xcb exec "$@") >"$work/program.log" 2>&1 &
  program_pid=$!
}

# The id of the first top-level window on the screen whose title starts with the text given.
window_titled() {
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk -v title="\"$1" 'index($0, title) { print $1 }'); do
    if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id"
      return
    fi
  done
}

# Waits up to 10 s for a window whose title starts with the text given; its id.
wait_for_window() {
  local id=""
  for _ in $(seq 100); do
    id="$(window_titled "$1")"
    [ -n "$id" ] && break
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; echo "the program ended" >&2; exit 1; }
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window \"$1\" appeared" >&2; exit 1; }
  sleep 0.5
  echo "$id"
}

# Focuses the window and types each key given through the XTEST extension,
# half a second apart; a key may come with modifiers held: Alt_L+h, Control_L+h.
press_keys() {
  /usr/bin/python3 - "$@" <<'PY'
import ctypes
import sys
import time

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x11.XRaiseWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
window = int(sys.argv[1], 16)
REVERT_TO_PARENT = 2
x11.XRaiseWindow(display, window)
x11.XSetInputFocus(display, window, REVERT_TO_PARENT, 0)
x11.XSync(display, 0)
time.sleep(0.3)


def key(name, down):
    code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
    xtst.XTestFakeKeyEvent(display, code, 1 if down else 0, 0)
    x11.XSync(display, 0)
    time.sleep(0.05)


for combination in sys.argv[2:]:
    keys = combination.split("+")
    for name in keys:
        key(name, True)
    for name in reversed(keys):
        key(name, False)
    time.sleep(0.5)
PY
}

# Saves the window as a PNG. Without a window manager the root window does
# not show the windows' contents, so the window itself is taken.
save_window() {
  xwd -id "$1" -silent >"$work/screen.xwd"
  convert "xwd:$work/screen.xwd" "png:$2"
  echo "saved $2"
}

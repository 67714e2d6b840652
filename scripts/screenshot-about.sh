#!/usr/bin/env bash
# Starts Corvasse on a private Xvfb display, opens Help > "&About..." with the
# keyboard (Alt+H, then A) and saves a screenshot of the display as a PNG.
#
#   scripts/screenshot-about.sh [PROGRAM] [OUTPUT.png]
#
# PROGRAM defaults to build/corvasse, OUTPUT to about-box.png in the current
# folder. The program runs in a temporary folder with its own settings folder,
# so neither the user's settings nor a log file are touched. Needs Xvfb,
# xwininfo and xwd (x11-utils, x11-apps), ImageMagick and python3.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:-$root/build/corvasse}")"
output="$(realpath -m "${2:-about-box.png}")"
[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }

work="$(mktemp -d)"
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The first free display number from 90 up; Xvfb listens on its local socket only.
display=90
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

mkdir -p "$work/config"
(cd "$work" && XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb exec "$program") >"$work/program.log" 2>&1 &
program_pid=$!

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
main_window=""
for _ in $(seq 100); do
  main_window="$(window_titled "Corvasse")"
  [ -n "$main_window" ] && break
  kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; echo "the program ended" >&2; exit 1; }
  sleep 0.1
done
[ -n "$main_window" ] || { echo "no Corvasse window appeared" >&2; exit 1; }
sleep 0.5

# Focus the main window and type Alt+H, A through the XTEST extension.
/usr/bin/python3 - "$main_window" <<'PY'
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


key("Alt_L", True)
key("h", True)
key("h", False)
key("Alt_L", False)
time.sleep(0.5)
key("a", True)
key("a", False)
PY

about=""
for _ in $(seq 50); do
  about="$(window_titled "&About Corvasse")"
  [ -n "$about" ] && break
  sleep 0.1
done
[ -n "$about" ] || { echo "the About box did not open" >&2; exit 1; }
sleep 0.5

# Without a window manager the root window does not show the box's contents, so take the box itself.
xwd -id "$about" -silent >"$work/screen.xwd"
convert "xwd:$work/screen.xwd" "png:$output"
echo "saved $output"

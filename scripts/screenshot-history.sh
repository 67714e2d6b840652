#!/usr/bin/env bash
# Makes a week of history for a watch (build/tests/sample_history), starts
# Corvasse with it on a private Xvfb display, opens View > "History..." with
# Ctrl+H and saves a screenshot of the History window as a PNG.
#
#   scripts/screenshot-history.sh [BUILD] [OUTPUT.png]
#
# BUILD is the build folder (default build/, with the tests built), OUTPUT
# defaults to history-window.png in the current folder. The program runs in a
# temporary folder with its own settings and state folders, so neither the
# user's settings nor their history are touched.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
output="$(realpath -m "${2:-history-window.png}")"
for tool in corvasse tests/sample_history; do
  [ -x "$build/$tool" ] || { echo "no program at $build/$tool" >&2; exit 1; }
done
source "$root/scripts/x11-session.sh"

mkdir -p "$work/config/Corvasse" "$work/state/Corvasse"
settings="$work/config/Corvasse/Corvasse.conf"
printf '[Settings]\nurl2watch=https://shop.example.org/\nallowHttps=y\n' >"$settings"
"$build/tests/sample_history" "$work/state/Corvasse/history.sqlite3" "$settings" "https://shop.example.org/"

start_display
XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" start_program "$build/corvasse"
main_window="$(wait_for_window "Corvasse")"
press_keys "$main_window" Control_L+h
save_window "$(wait_for_window "Corvasse History")" "$output"

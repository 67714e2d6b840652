#!/usr/bin/env bash
# Starts Corvasse on a private Xvfb display, opens Help > "&About..." with the
# keyboard (Alt+H, then A) and saves a screenshot of the box as a PNG.
#
#   scripts/screenshot-about.sh [PROGRAM] [OUTPUT.png]
#
# PROGRAM defaults to build/corvasse, OUTPUT to about-box.png in the current
# folder. The program runs in a temporary folder with its own settings folder,
# so neither the user's settings nor a log file are touched.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:-$root/build/corvasse}")"
output="$(realpath -m "${2:-about-box.png}")"
[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
source "$root/scripts/x11-session.sh"

start_display
mkdir -p "$work/config"
XDG_CONFIG_HOME="$work/config" start_program "$program"
main_window="$(wait_for_window "Corvasse")"
press_keys "$main_window" Alt_L+h a
save_window "$(wait_for_window "&About Corvasse")" "$output"

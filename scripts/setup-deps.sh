#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Corvasse need,
# asking apt-get only for those that are missing.
set -euo pipefail

packages=(
  # build (Qt Charts' CMake package asks for Qt OpenGL's, which Debian ships apart)
  cmake ninja-build g++ qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libssl-dev libsqlite3-dev
  # fontconfig starts beside Qt at the window's start
  libfontconfig-dev
  # tests and benchmarks (check_http: what check_corvasse is compared with; sqlite3: what the history's
  # recording is compared with, and what a benchmark reads the history with)
  libgtest-dev libgmock-dev libbenchmark-dev monitoring-plugins-basic sqlite3
  # what many watches in one service are compared with
  prometheus-blackbox-exporter
  # a real Nagios 4 runs the README's command definitions
  nagios4-core
  # a real Prometheus scrapes the service's metrics (promtool checks them); a real Icinga 2 runs the plugin
  prometheus icinga2
  # fonts: Arial is mapped to Liberation Sans
  fonts-liberation
  # real servers the integration tests start on loopback; openssl makes their test certificates
  nginx-light python3-aiosmtpd dovecot-pop3d openssl
  # ping tests, namespaces (nft drops packets in them), fetch comparison, screenshots
  iputils-ping iproute2 nftables curl xvfb x11-apps x11-utils imagemagick
  # the window's start is timed through Xlib
  libx11-dev
  # systemd-analyze checks the installed user units; man and groff render the manual pages
  systemd man-db groff-base
  # a real system tray (XEmbed) under Xvfb for the tray tests; keys typed into the program's window
  trayer xdotool
  # sanitizers and fuzzing; the coverage report
  clang-14 libclang-rt-14-dev gcovr
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# The one list of dependencies: add a package here and nowhere else.
# Only calls apt-get when something is missing, so running it again is cheap.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config
  # GUI toolkit (Widgets, Xml, Network, DBus)
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # media engine
  libavcodec-dev libavformat-dev libavfilter-dev libavutil-dev
  libswscale-dev libswresample-dev
  libdvdread-dev libdvdnav-dev libsdl2-dev
  libass-dev  # burnt-in subtitles and text watermarks
  # property lists
  libpugixml-dev libboost-dev
  # fonts for text rendering (offscreen Qt, burnt-in text)
  fontconfig fonts-dejavu-core
  # tests: unit framework, media generation, DVD images, virtual display
  libgtest-dev ffmpeg dvdauthor genisoimage xvfb xauth
  dbus-daemon  # a private session bus for the notification tests
  clang libclang-rt-14-dev  # tools/fuzz.sh: libFuzzer with the sanitizers
  # Debian package (cpack: dpkg-shlibdeps, file) and its test: launcher and
  # metadata validators, window listing on the virtual display
  dpkg-dev file desktop-file-utils appstream x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi

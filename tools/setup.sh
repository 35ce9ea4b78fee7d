#!/usr/bin/env bash
# Installs the Debian packages the build, the show and the tests need; only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libepoxy-dev libxrandr-dev libx11-dev
  libturbojpeg0-dev libpng-dev libmpg123-dev libmp3lame-dev
  libboost-dev libboost-filesystem-dev libfreetype-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth libgl1-mesa-dri mesa-utils
  glslang-tools xdotool x11-utils x11-xserver-utils imagemagick mpg123
  fonts-urw-base35 fonts-dejavu-core fonts-dejavu-extra
  xserver-xorg-core xserver-xorg-video-dummy
  icewm weston xwayland mutter python3-gi gir1.2-glib-2.0
  gstreamer1.0-tools gstreamer1.0-pipewire gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  dbus pulseaudio pulseaudio-utils pipewire pipewire-bin wireplumber
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix wine wine64
  xvfb xauth x11-apps x11-utils imagemagick
  fonts-dejavu-core ccache
  dpkg-dev file lintian appstream desktop-file-utils qt6-qpa-plugins
  fonts-dejavu-extra qt6-translations-l10n
  nsis zip xdotool fonts-wine
  libacl1-dev acl attr
  nlohmann-json3-dev libtomlplusplus-dev
  fp-utils libchm-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

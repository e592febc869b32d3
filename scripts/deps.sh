# Sourced: installs what is missing from Debian's packages (as root, or through sudo).
# Usage: install_packages PKG...
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
    "${missing[@]}"
}

# What building the clock needs.
BUILD_PACKAGES=(build-essential cmake pkg-config libx11-dev libx11-xcb-dev libxft-dev libxrender-dev
  fonts-liberation2 libwayland-dev wayland-protocols libxkbcommon-dev libfcft-dev libpixman-1-dev)

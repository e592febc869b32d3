# Sourced: installs what is missing from Debian's packages (as root, or through sudo).
# Usage: install_packages [--no-install-recommends] PKG...

# How long the set-up waits for another installation (automatic updates, a software centre) to let
# go of the package manager's locks before apt says what holds them and the set-up fails.
APT_LOCK_WAIT=${APT_LOCK_WAIT:-600}
APT_LOCKS=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock
  /var/cache/apt/archives/lock)

# The process that holds one of the package manager's locks (they are fcntl locks, listed in
# /proc/locks by device and inode), as "PID (NAME)"; nothing when none is held.
apt_lock_holder() {
  local lock dev ino id pid
  for lock in "${APT_LOCKS[@]}"; do
    read -r dev ino < <(stat -c '%d %i' "$lock" 2>/dev/null) || continue
    id=$(printf '%02x:%02x:%s' $(((dev >> 8) & 0xfff)) $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$ino")
    pid=$(awk -v id="$id" '$2 != "->" && $6 == id {print $5; exit}' /proc/locks 2>/dev/null)
    if [ -n "$pid" ]; then
      echo "$pid ($(cat "/proc/$pid/comm" 2>/dev/null || echo '?'))"
      return
    fi
  done
}

# Waits, saying so once, until no other process holds the package manager's locks, or until
# APT_LOCK_WAIT seconds have gone by (then apt itself fails, naming the holder).
wait_for_apt() {
  local holder start=$SECONDS said=0
  while holder=$(apt_lock_holder) && [ -n "$holder" ]; do
    if [ "$said" = 0 ]; then
      echo "Waiting for another package installation to finish (process $holder holds the package manager's lock; at most ${APT_LOCK_WAIT} s)..."
      said=1
    fi
    [ $((SECONDS - start)) -lt "$APT_LOCK_WAIT" ] || return 0
    sleep 1
  done
  [ "$said" = 0 ] || echo "The package manager is free again after $((SECONDS - start)) s."
}

install_packages() {
  local missing=() p options=()
  if [ "${1:-}" = --no-install-recommends ]; then
    options+=("$1")
    shift
  fi
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  # apt waits for the dpkg lock by itself (DPkg::Lock::Timeout), but not for the lists' lock of
  # an update: the wait before each covers both, and says so.
  wait_for_apt
  "${sudo[@]}" apt-get update -qq || return
  wait_for_apt
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
    -o DPkg::Lock::Timeout="$APT_LOCK_WAIT" "${options[@]}" "${missing[@]}"
}

# What building the clock needs.
BUILD_PACKAGES=(build-essential cmake pkg-config libx11-dev libx11-xcb-dev libxft-dev libxrender-dev
  fonts-liberation2 libwayland-dev wayland-protocols libxkbcommon-dev libfcft-dev libpixman-1-dev)

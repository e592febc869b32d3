#!/usr/bin/env bash
# Installs everything the tests need, builds the Linux, sanitizer and Windows builds, and runs
# every test: unit tests (also under ASan+UBSan and as Windows programs under Wine), the
# end-to-end tests of both shells on private X displays, and the Debian package's tests.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_packages "${BUILD_PACKAGES[@]}" \
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev locales \
  xvfb openbox xdotool wmctrl x11-utils x11-xserver-utils x11-xkb-utils x11-apps imagemagick \
  xauth xtrace fonts-dejavu-core faketime strace valgrind util-linux \
  g++-mingw-w64-x86-64 wine64 fonts-wine \
  dpkg-dev debhelper lintian desktop-file-utils librsvg2-bin

# Locales whose date formats the tests read; generated where missing.
for loc in de_DE it_IT cs_CZ ko_KR; do
  if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$"; then
    if [ "$(id -u)" -eq 0 ]; then localedef -i "$loc" -f UTF-8 "$loc.UTF-8" || true
    else sudo localedef -i "$loc" -f UTF-8 "$loc.UTF-8" || true; fi
  fi
done

# The window managers of the desktop tests and the Wayland compositors come with many packages:
# they install while the trees build, without what they recommend (but fluxbox's background
# setter: without one, fluxbox pops up a message window at start that takes the focus).
install_packages --no-install-recommends xfwm4 metacity icewm fluxbox hsetroot awesome fvwm twm xfonts-base \
  kwin-x11 mutter dbus kwin-wayland sway weston xwayland wayvnc grim foot python3-gi gir1.2-glib-2.0 \
  plasma-wayland-protocols libwayland-dev \
  >/tmp/brumo-desktops-install.log 2>&1 &
desktops_install=$!

jobs=$(nproc)
echo "== Building: Linux, sanitizers, fuzzers, Windows"
cmake -S . -B build >/dev/null
cmake --build build -j"$jobs"
cmake -S . -B build-asan -DBRUMO_SANITIZE=ON -DBRUMO_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
CXX=clang++ cmake -S . -B build-fuzz -DBRUMO_FUZZ=ON -DBRUMO_SHELL=OFF -DBRUMO_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build-win -j"$jobs"
wait "$desktops_install" || { cat /tmp/brumo-desktops-install.log; exit 1; }
# KWin's fake-input client builds once the Wayland headers are there.
cmake -S . -B build >/dev/null && cmake --build build -j"$jobs"

echo "== Linux: unit, end-to-end, fault, desktop and package tests"
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build-asan -j"$jobs" -L unit --output-on-failure

echo "== Fuzzers of the outside data (libFuzzer, ASan, UBSan), a bounded time each"
ctest --test-dir build-fuzz -j"$jobs" --output-on-failure

echo "== Windows build under Wine"
ctest --test-dir build-win -j"$jobs" --output-on-failure

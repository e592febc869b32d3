#!/usr/bin/env bash
# The Debian package as a user gets it: built with dpkg-buildpackage from a copy of the source
# tree, clean under lintian, installed with apt, its /usr/bin/brumo run on a private display and
# closed with Alt+F4, then purged without leaving anything behind. apt needs root: skips without.
set -euo pipefail
SRC=$(cd "${1:?usage: debian_test.sh SOURCE_DIR}" && pwd)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing and purging a package with apt needs root"
  exit 77
fi
# The test installs and purges the machine's one brumo package: one run at a time, and never over
# a copy someone installed to use.
exec 9>>/tmp/brumo-package-test.lock
flock 9
if dpkg -s brumo >/dev/null 2>&1; then
  echo "SKIP: dpkg knows a brumo package on this machine (dpkg -s brumo): the test would replace and purge it"
  exit 77
fi

WORK=$(mktemp -d)
chmod 755 "$WORK" # apt reads the package as its own user
installed=0
cleanup() {
  if declare -F e2e_cleanup >/dev/null; then e2e_cleanup; fi
  if [ "$installed" = 1 ]; then apt-get purge -y -qq brumo >/dev/null 2>&1 || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir "$WORK/src"
tar -C "$SRC" --exclude-vcs --exclude='./build*' --exclude=./out -cf - . | tar -C "$WORK/src" -xf -
(cd "$WORK/src" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage -us -uc >"$WORK/build.log" 2>&1) ||
  fail "dpkg-buildpackage: $(tail -n 30 "$WORK/build.log")"
deb=$(ls "$WORK"/brumo_*_"$(dpkg --print-architecture)".deb)

# Both Linux shells are in it: the package depends on what each links.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libx11-6 libxft2 libwayland-client0 libfcft4 libpixman-1-0 libxkbcommon0; do
  grep -q "\b$lib\b" <<<"$depends" || fail "the package does not depend on $lib: $depends"
done

lintian --fail-on error,warning "$WORK"/brumo_*.changes || fail "lintian found errors or warnings"

installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$deb" \
  >"$WORK/apt.log" 2>&1 || fail "apt-get install: $(cat "$WORK/apt.log")"
app=/usr/share/metainfo/example.c_seed_8cbd9cf2.brumo.metainfo.xml
for f in /usr/bin/brumo /usr/share/applications/example.c_seed_8cbd9cf2.brumo.desktop /usr/share/man/man1/brumo.1.gz \
  /usr/share/icons/hicolor/{16x16,32x32}/apps/brumo.png /usr/share/icons/hicolor/scalable/apps/brumo.svg "$app"; do
  [ -f "$f" ] || fail "the package did not install $f"
done
appstreamcli validate --no-net "$app" >"$WORK/appstream.log" 2>&1 ||
  fail "appstreamcli: $(cat "$WORK/appstream.log")"

BRUMO=/usr/bin/brumo
source "$SRC/tests/x11/e2e/lib.sh"
trap cleanup EXIT
start_session 96
start_brumo
# Given the focus as a person would give it (a click would start a move). xdotool complains while
# no window has been active on the display yet, and waits on.
xdotool windowactivate --sync "$BRUMO_WIN" 2>/dev/null
xdotool key alt+F4
ended_with "$BRUMO_PID"
expect_eq "$STATUS" 0 "the installed clock's exit status after Alt+F4"
wait_gone "$BRUMO_WIN" || fail "the window stayed after Alt+F4"
[ ! -s "$E2E_TMP/brumo.err" ] || fail "the clock said: $(cat "$E2E_TMP/brumo.err")"

dpkg -L brumo >"$WORK/files"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 brumo \
  >"$WORK/apt.log" 2>&1 || fail "apt-get purge: $(cat "$WORK/apt.log")"
installed=0
if dpkg -s brumo >/dev/null 2>&1; then fail "dpkg still knows brumo after the purge"; fi
# Every file gone, and every folder too unless another package owns it.
while read -r path; do
  if [ "$path" = /. ]; then
    continue
  elif [ -d "$path" ]; then
    dpkg -S "$path" >/dev/null 2>&1 || fail "left after the purge: $path/"
  elif [ -e "$path" ] || [ -L "$path" ]; then
    fail "left after the purge: $path"
  fi
done <"$WORK/files"
echo "PASS"

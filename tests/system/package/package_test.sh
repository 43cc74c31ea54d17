#!/usr/bin/env bash
# The Debian packages as an administrator gets them: scripts/package.sh builds
# them (lintian must pass), apt-get installs them on this machine, a C program
# (pkg-config) and a CMake program (find_package) build against the installed
# libcvsetup-dev, the demo's removal runs with the installed remove-instance
# and remove-instance-plan, and apt-get purge takes everything away again: the
# file system below the places packages write to is the same as before.
#
# Installing touches the machine, so the test holds a machine-wide lock,
# refuses to run when any of the packages, or any file they ship, is already
# there (installed from elsewhere), and always purges what it installed.
# Skipped (status 77) when the Debian tools are missing; as a user other than
# root it builds and checks the packages, then skips the installation.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR VERSION CC CXX
# (VERSION: the project's version as CMake read it; the packages must carry it)
set -euo pipefail
top=$1 build=$2 version=$3 cc=$4 cxx=$5
pkgs=(libcvsetup1 libcvsetup-dev remove-instance)
fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

missing=()
for tool in dpkg-buildpackage dh lintian apt-get; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] ||
  skip "Debian packaging tools missing (${missing[*]}); bash scripts/install-deps.sh installs them"

out=$PWD/debs
tmp=$(mktemp -d)
installed=0
purge() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -o DPkg::Lock::Timeout=300 "${pkgs[@]}" \
    >>"$tmp/apt.log" 2>&1
}
cleanup() {
  if [ "$installed" = 1 ]; then purge || { echo "purge failed:"; cat "$tmp/apt.log"; }; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

if [ "$(id -u)" -eq 0 ]; then
  exec 9>/run/lock/cvsetup-package-test.lock
  flock 9
  for p in "${pkgs[@]}"; do
    state=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    case $state in
      '' | not-installed) ;;
      *) fail "$p is already on this machine ($state); purge it first: apt-get purge ${pkgs[*]}" ;;
    esac
  done
fi

# Unoptimised and without debug symbol packages: what is checked here is
# the packaging (files, links, maintainer scripts, lintian), not the code
# the other builds test, and the build is then a third of the time.
DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-"noopt noddebs parallel=$(nproc)"} \
  bash "$top/scripts/package.sh" "$out" >"$tmp/package.log" 2>&1 ||
  { tail -n 80 "$tmp/package.log"; fail "scripts/package.sh"; }
built=$SECONDS
debs=()
for p in "${pkgs[@]}"; do
  deb=$(echo "$out/${p}_${version}"_*.deb)
  [ -f "$deb" ] || fail "no $p package of version $version in $out"
  debs+=("$deb")
done
grep -q '^lintian: no errors or warnings$' "$tmp/package.log" || fail "lintian did not pass"

[ "$(id -u)" -eq 0 ] || skip "the packages build and pass lintian; installing them needs root"

# Nothing the packages ship may be there already: purging would take it away.
for deb in "${debs[@]}"; do
  while read -r path; do
    [ -d "$path" ] && continue
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path exists already (installed from elsewhere)"; fi
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||')
done

snapshot() {
  # The man-db trigger tags each cache directory it visits as a cache
  # (CACHEDIR.TAG) the first time, whichever package set it off.
  find /usr /etc /opt /var/lib/dpkg /var/cache/man -xdev 2>/dev/null |
    grep -v '^/var/cache/man/.*/CACHEDIR\.TAG$' | sort
}
snapshot >"$tmp/before"

installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  -o DPkg::Lock::Timeout=300 "${debs[@]}" >"$tmp/apt.log" 2>&1 ||
  { cat "$tmp/apt.log"; fail "apt-get install"; }

# The installed -dev package serves the consumers from the system's paths.
source "$top/tests/system/install/consumers.sh"
write_consumer_expectations "$tmp"
check_pkgconfig_consumer "$top/tests/system/install" "$cc" "$tmp"
check_cmake_consumer "$top/tests/system/install" "$cxx" "$tmp"

# The installed tools do the demo's removal (CGI and silent mode, with a plan).
bash "$top/scripts/demo.sh" --bindir /usr/bin --slapd "$build/tests/support/cv-slapd" \
  >"$tmp/demo.log" 2>&1 || { cat "$tmp/demo.log"; fail "the demo with the installed tools"; }
grep -q "^== running /usr/bin/remove-instance and /usr/bin/remove-instance-plan$" "$tmp/demo.log" ||
  fail "the demo did not run the installed tools"
# Found by name; rendered from the file (man -l saves no cat page in man's cache).
for page in remove-instance remove-instance-plan cvsetup; do
  file=$(man -w "$page") || fail "man finds no page $page"
  rendered=$(MANWIDTH=80 man --warnings -l "$file" 2>&1) || fail "man $page fails: $rendered"
  grep -q "cvsetup $version" <<<"$rendered" || fail "man $page does not name version $version"
done

purge || { cat "$tmp/apt.log"; fail "apt-get purge"; }
installed=0
for p in "${pkgs[@]}"; do
  state=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = not-installed ] || fail "$p is $state after the purge"
done
snapshot >"$tmp/after"
diff -u "$tmp/before" "$tmp/after" || fail "the purge left the file system changed (+ left, - lost)"
echo "packages of version $version built and passed lintian in $built s, served both consumers" \
  "and the demo, and purged without a trace; $SECONDS s in all"

#!/usr/bin/env bash
# Builds the Debian packages libcvsetup1 (the shared library), libcvsetup-dev
# (headers, static library, pkg-config and CMake files, cvsetup(3)) and
# remove-instance (remove-instance, remove-instance-plan and their manual
# pages) from this checkout with dpkg-buildpackage, then checks them with
# lintian when it is installed (any error or warning not overridden in
# debian/ fails).
#
# The build runs in a copy of the checkout's files (tracked and untracked, not
# ignored) made below the output directory, so the checkout gets no build
# leftovers. The package version is the one in CMakeLists.txt's
# project(... VERSION): debian/changelog is written from it in the copy.
#
# Usage: package.sh [OUTDIR]      (default: build-deb/ in the checkout)
# The .deb files, the .buildinfo and the .changes land in OUTDIR.
# DEB_BUILD_OPTIONS is honoured; without it the build runs one job per core.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build-deb}")

missing=()
command -v dpkg-buildpackage >/dev/null || missing+=(dpkg-dev)
command -v dh >/dev/null || missing+=(debhelper)
if [ ${#missing[@]} -gt 0 ]; then
  echo "package.sh: missing ${missing[*]}: bash scripts/install-deps.sh installs them" >&2
  exit 1
fi

version=$(sed -n 's/^project([^)]* VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "package.sh: no project(... VERSION x.y.z) found in CMakeLists.txt" >&2
  exit 1
fi
source=$(sed -n 's/^Source: //p' debian/control)
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)

# The files to build from, listed before the output directory (which may lie
# inside the checkout) gets anything in it.
files=$(mktemp)
trap 'rm -f "$files"' EXIT
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
    # Tracked files deleted in the working tree are not part of the checkout.
    if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
  done >"$files"
  stamp=$(git log -1 --format=%cD 2>/dev/null || date -R)
  origin="commit $(git describe --always --dirty)"
else
  find . -path ./.git -prune -o -path './build*' -prune -o \( -type f -o -type l \) -print0 >"$files"
  stamp=$(date -R)
  origin="a source tree"
fi

src=$out/$source-$version
mkdir -p "$out"
rm -rf "$src"
rm -f "$out/${source}_${version}"_*.{changes,buildinfo}
for pkg in libcvsetup1 libcvsetup-dev remove-instance; do
  rm -f "$out/${pkg}"_*.deb "$out/${pkg}"-dbgsym_*.deb
done
mkdir "$src"
tar --null -T "$files" -cf - | tar -xf - -C "$src"

cat >"$src/debian/changelog" <<EOF
$source ($version) unstable; urgency=medium

  * Built from $origin.

 -- $maintainer  $stamp
EOF

echo "== dpkg-buildpackage ($source $version, in $src)"
(cd "$src" && DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-parallel=$(nproc)} dpkg-buildpackage -us -uc -b)

changes=$(ls "$out/${source}_${version}"_*.changes)
if command -v lintian >/dev/null; then
  echo "== lintian"
  lintian --fail-on error,warning "$changes"
  echo "lintian: no errors or warnings"
else
  echo "== lintian is not installed: the packages were not checked"
fi
rm -rf "$src"
echo "== built in $out:"
(cd "$out" && ls -1 -- *.deb "$(basename "$changes")")

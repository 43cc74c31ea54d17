#!/usr/bin/env bash
# Installs the built tree with DESTDIR into a temporary prefix, checks what
# was installed, then builds consumers against that tree only: a C program
# through pkg-config (shared, and static with the private dependencies), and
# C and C++ programs through find_package(cvsetup); runs them, runs the
# installed tool, and renders both manual pages without warnings.
# Usage: install_test.sh BUILD_DIR TEST_SOURCE_DIR LIBDIR CC
set -euo pipefail
build=$1 here=$2 libdir=$3 cc=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix=/opt/cvsetup
DESTDIR=$tmp/stage cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
  { cat "$tmp/install.log"; fail "cmake --install"; }
P=$tmp/stage$prefix
[ -d "$P" ] || fail "nothing installed below DESTDIR$prefix"
L=$P/$libdir

# The installed tree.
[ -f "$L/libcvsetup.so.1.0.0" ] || fail "no $libdir/libcvsetup.so.1.0.0"
[ "$(readlink "$L/libcvsetup.so.1")" = libcvsetup.so.1.0.0 ] || fail "libcvsetup.so.1 link"
[ "$(readlink "$L/libcvsetup.so")" = libcvsetup.so.1 ] || fail "libcvsetup.so link"
readelf -d "$L/libcvsetup.so.1.0.0" | grep -q 'SONAME.*\[libcvsetup\.so\.1\]' || fail "SONAME"
for f in "$L/libcvsetup.a" "$L/pkgconfig/cvsetup.pc" "$L/cmake/cvsetup/cvsetupConfig.cmake" \
    "$L/cmake/cvsetup/cvsetupConfigVersion.cmake" "$P/include/cvsetup/cvsetup.h" \
    "$P/share/man/man1/remove-instance.1" "$P/share/man/man3/cvsetup.3"; do
  [ -f "$f" ] || fail "not installed: ${f#$P/}"
done
[ -x "$P/bin/remove-instance" ] || fail "no bin/remove-instance"
for internal in c_boundary.h ldap_adapter.h remove_internal.h tree_walk.h atomic_file.h; do
  [ ! -e "$P/include/cvsetup/$internal" ] || fail "internal header installed: $internal"
done
! grep -rq "$(cd "$build" && pwd)" "$L/pkgconfig" "$L/cmake" ||
  fail "the installed package files name the build tree"

# pkg-config: shared, then static with the private dependencies.
export PKG_CONFIG_PATH=$L/pkgconfig
cflags=$(pkg-config --cflags cvsetup)
"$cc" -std=c11 -Wall -Wextra -Werror -o "$tmp/pc_shared" "$here/consumer/consumer.c" \
  $cflags $(pkg-config --libs cvsetup)
static_libs=$(pkg-config --static --libs cvsetup | sed 's/-lcvsetup\b//')
"$cc" -std=c11 -Wall -Wextra -Werror -o "$tmp/pc_static" "$here/consumer/consumer.c" \
  $cflags "$L/libcvsetup.a" $static_libs
readelf -d "$tmp/pc_static" | grep -q 'NEEDED.*libcvsetup' && fail "static consumer needs libcvsetup.so"

# find_package(cvsetup), from the installed tree only.
cmake -S "$here/consumer" -B "$tmp/cmake" -DCMAKE_PREFIX_PATH="$P" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$tmp/cmake.log" 2>&1 ||
  { cat "$tmp/cmake.log"; fail "configuring the CMake consumer"; }
grep -qx "cvsetup_DIR:PATH=$L/cmake/cvsetup" "$tmp/cmake/CMakeCache.txt" ||
  fail "find_package(cvsetup) did not take the installed package"
cmake --build "$tmp/cmake" >"$tmp/build.log" 2>&1 ||
  { cat "$tmp/build.log"; fail "building the CMake consumer"; }

mkdir "$tmp/work"
expected="base64 Y249RGlyZWN0b3J5IE1hbmFnZXIB/w== round trip
inf ServerPort=3389 read back"
for program in "$tmp/pc_shared" "$tmp/pc_static" "$tmp/cmake/consumer_shared" \
    "$tmp/cmake/consumer_static"; do
  rm -f "$tmp/work/"*
  out=$(LD_LIBRARY_PATH=$L "$program" "$tmp/work") || fail "$(basename "$program") failed: $out"
  [ "$out" = "$expected" ] || fail "$(basename "$program") printed: $out"
done
out=$(LD_LIBRARY_PATH=$L "$tmp/cmake/consumer_classes" "$tmp/work") || fail "consumer_classes: $out"
[ "$out" = "classes ServerPort=636 read back" ] || fail "consumer_classes printed: $out"
LD_LIBRARY_PATH=$L ldd "$tmp/cmake/consumer_shared" | grep -q "=> $L/libcvsetup.so.1 " ||
  fail "the shared consumer did not load the installed library"

# The installed tool answers a refused request as documented.
set +e
out=$(env -i "$P/bin/remove-instance")
status=$?
set -e
[ $status = 1 ] || fail "remove-instance without a request exited $status"
[ "$(printf '%s\n' "$out" | tail -n 1)" = "TPX_STATUS: 7" ] || fail "remove-instance printed: $out"

# Both manual pages render at 80 columns without a warning.
for page in "$P/share/man/man1/remove-instance.1" "$P/share/man/man3/cvsetup.3"; do
  MANWIDTH=80 man --warnings -l "$page" >"$tmp/page.txt" 2>"$tmp/page.err" ||
    fail "man -l $(basename "$page")"
  [ ! -s "$tmp/page.err" ] || { cat "$tmp/page.err"; fail "man warnings in $(basename "$page")"; }
  [ "$(wc -l <"$tmp/page.txt")" -gt 40 ] || fail "$(basename "$page") renders nearly empty"
done
echo "installed, consumed and documented: $(cd "$P" && find . -type f | wc -l) files"

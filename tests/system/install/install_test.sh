#!/usr/bin/env bash
# Installs the build tree with DESTDIR into a temporary root, then works from
# the installed tree only: the expected files are there, a C program builds
# with pkg-config and a C++ one with find_package(cvsetup), both run, a call
# of every function the headers declare links, and both manual pages render
# without a warning.
# Usage: install_test.sh BUILD_DIR TEST_SOURCE_DIR LIBDIR CC CXX
set -euo pipefail
build=$1 src=$2 libdir=$3 cc=$4 cxx=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=/opt/cvsetup
P=$tmp/root$prefix
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR=$tmp/root cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
  { cat "$tmp/install.log"; fail "cmake --install"; }
[ -d "$tmp/root$prefix" ] || fail "DESTDIR was not honoured"

for f in bin/remove-instance "$libdir/libcvsetup.a" "$libdir/pkgconfig/cvsetup.pc" \
    "$libdir/cmake/cvsetup/cvsetupConfig.cmake" include/cvsetup/cvsetup.h \
    share/man/man1/remove-instance.1 share/man/man1/remove-instance-plan.1 share/man/man3/cvsetup.3; do
  [ -f "$P/$f" ] || fail "$f is not installed"
done
soname=$(objdump -p "$P/$libdir/libcvsetup.so" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = libcvsetup.so.1 ] || fail "SONAME is '$soname'"
[ -L "$P/$libdir/libcvsetup.so" ] && [ -L "$P/$libdir/libcvsetup.so.1" ] ||
  fail "the .so and .so.1 links are missing"
internal=$(find "$P/include" -name '*_internal.h' -o -name ldap_adapter.h -o -name c_boundary.h)
[ -z "$internal" ] || fail "internal headers installed: $internal"

source "$src/consumers.sh"
write_consumer_expectations "$tmp"

# pkg-config: the shared library, then the static one with Libs.private.
export PKG_CONFIG_PATH=$P/$libdir/pkgconfig
LD_LIBRARY_PATH=$P/$libdir check_pkgconfig_consumer "$src" "$cc" "$tmp"
read -ra flags <<<"$(pkg-config --static --cflags --libs cvsetup)"
"$cc" -std=c11 -Wall -Wextra -Werror "$src/consumer.c" -o "$tmp/consumer_static" -static-libgcc \
  "${flags[@]/-lcvsetup/-l:libcvsetup.a}"
out=$("$tmp/consumer_static" "$tmp/static.inf")
expect "the static pkg-config consumer" "$tmp/c.expected" "$out"
ldd "$tmp/consumer_static" | grep -q libcvsetup && fail "the static consumer loads libcvsetup.so"

# find_package: a separate CMake project that knows only the prefix.
CMAKE_PREFIX_PATH=$P check_cmake_consumer "$src" "$cxx" "$tmp"

# Every function an installed header declares is exported: a program with a
# call of each one (calls.py reads the headers through clang) links against
# the installed shared library, where a declaration without a symbol fails.
count=$(python3 "$src/calls.py" "$P/include" "$tmp/calls.cpp") ||
  fail "calls.py could not read the installed headers"
read -ra flags <<<"$(pkg-config --cflags --libs cvsetup)"
if ! "$cxx" -std=c++17 "$tmp/calls.cpp" -o "$tmp/calls" "${flags[@]}" 2>"$tmp/calls.log"; then
  grep -E 'undefined reference|error' "$tmp/calls.log" | head -40
  fail "a function the installed headers declare does not link"
fi
LD_LIBRARY_PATH=$P/$libdir "$tmp/calls" || fail "the program calling every declared function does not run"

# The manual pages, as man shows them.
for page in man1/remove-instance.1 man3/cvsetup.3; do
  warnings=$(MANWIDTH=80 man --warnings -l "$P/share/man/$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page renders with warnings: $warnings"
  [ "$(MANWIDTH=80 man -l "$P/share/man/$page" 2>/dev/null | wc -l)" -gt 20 ] ||
    fail "$page renders nearly empty"
done
# remove-instance-plan's page is remove-instance's, which documents both.
MANWIDTH=80 man -M "$P/share/man" remove-instance-plan 2>&1 | grep -q '^PLANNING A REMOVAL$' ||
  fail "man remove-instance-plan does not show the planning section"
echo "installed tree ($(find "$P" -type f | wc -l) files) serves the C, static and CMake consumers;" \
  "all $count functions and variables its headers declare link"

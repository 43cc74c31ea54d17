# Sourced by the install and package tests: the programs an installer writes
# against cvsetup, built from an installed tree only, and what they must print.
# The caller defines fail() and points PKG_CONFIG_PATH, CMAKE_PREFIX_PATH and
# LD_LIBRARY_PATH at the installation when it is not in the system's paths.

# expect LABEL EXPECTED-FILE OUTPUT
expect() {
  if ! diff -u "$2" <(printf '%s\n' "$3"); then fail "$1 printed other lines"; fi
}

# write_consumer_expectations DIR: DIR/c.expected and DIR/cxx.expected.
write_consumer_expectations() {
  printf '%s\n' 'Y249RGlyZWN0b3J5IE1hbmFnZXI= -> cn=Directory Manager' 'ServerPort=389' >"$1/c.expected"
  printf '%s\n' 'slapd/ServerPort=389' 'round trip kept the text' >"$1/cxx.expected"
}

# check_pkgconfig_consumer SRC CC TMP: the C program, linked with the shared
# library through pkg-config, writes TMP/setup.inf and reads it back.
check_pkgconfig_consumer() {
  local src=$1 cc=$2 tmp=$3 flags out
  read -ra flags <<<"$(pkg-config --cflags --libs cvsetup)"
  "$cc" -std=c11 -Wall -Wextra -Werror "$src/consumer.c" -o "$tmp/consumer" "${flags[@]}" ||
    fail "the pkg-config consumer does not build"
  out=$("$tmp/consumer" "$tmp/setup.inf")
  expect "the pkg-config consumer" "$tmp/c.expected" "$out"
}

# check_cmake_consumer SRC CXX TMP: the C++ program, a CMake project of its own
# that finds the package with find_package(cvsetup), reads TMP/setup.inf.
check_cmake_consumer() {
  local src=$1 cxx=$2 tmp=$3 out
  cmake -S "$src/consumer_cmake" -B "$tmp/consumer_build" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >"$tmp/cmake.log" ||
    { cat "$tmp/cmake.log"; fail "the find_package consumer does not configure"; }
  cmake --build "$tmp/consumer_build" >"$tmp/build.log" ||
    { cat "$tmp/build.log"; fail "the find_package consumer does not build"; }
  out=$("$tmp/consumer_build/consumer" "$tmp/setup.inf")
  expect "the find_package consumer" "$tmp/cxx.expected" "$out"
}

#!/usr/bin/env bash
# Installs what building, the demo and the tests need on Debian 12 (as root,
# when something is missing). Safe to run again. The system's own slapd
# service is neither configured nor started: the demo and the tests run
# private servers of their own.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

pkgs=(
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  libldap-dev libicu-dev libnspr4-dev libgtest-dev googletest
  slapd ldap-utils openssl
  python3 valgrind util-linux coreutils procps strace
  nlohmann-json3-dev libnet-ldap-server-perl man-db groff-base
  # scripts/package.sh and its test: the Debian packages, built and checked
  debhelper dpkg-dev lintian
)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  # Root is needed only to install; a developer who has everything may build
  # and test as any user.
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: missing packages: ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  # No database of slapd's own and no service start while the package installs.
  echo "slapd slapd/no_configuration boolean true" | debconf-set-selections
  policy=/usr/sbin/policy-rc.d
  made_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    made_policy=1
  fi
  trap '[ "$made_policy" = 1 ] && rm -f "$policy"' EXIT
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
echo "install-deps.sh: dependencies present"

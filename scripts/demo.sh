#!/usr/bin/env bash
# Installs the dependencies, builds, and removes a throwaway directory-server
# instance the way the administration server would: a CGI GET request naming
# the instance. The server root lives in a temporary directory, the "server"
# is a stand-in process whose pid is in the instance's logs/pid, and a second
# instance beside it shows that only the named one goes. Then the silent mode
# an installer uses: a throwaway slapd on 127.0.0.1 holds a small registry of
# two instances, `remove-instance-plan -f` prints what the removal would do,
# and `remove-instance -f` with an install-info file takes one
# of them off the registry, stops it and deletes its files, while its sibling
# keeps everything. Everything is cleaned up afterwards, whatever happens.
#
# Usage: demo.sh [--bindir DIR] [--slapd PROGRAM]
#   --bindir DIR      run the remove-instance and remove-instance-plan in DIR
#                     (/usr/bin once the Debian packages are installed)
#                     instead of the ones built into build/;
#   --slapd PROGRAM   hold the registry in this test slapd launcher (a build's
#                     tests/support/cv-slapd) instead of build/'s.
# The demo builds build/ only for what is not given.
set -euo pipefail
bindir= slapd=
while [ $# -gt 0 ]; do
  case $1 in
    --bindir) bindir=$(realpath -e "${2:?--bindir needs a directory}") ;;
    --slapd) slapd=$(realpath -e "${2:?--slapd needs a program}") ;;
    *) echo "usage: demo.sh [--bindir DIR] [--slapd PROGRAM]" >&2; exit 2 ;;
  esac
  shift 2
done
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if [ -z "$bindir" ] || [ -z "$slapd" ]; then
  echo "== build"
  bash scripts/build.sh build >/dev/null
fi
bindir=${bindir:-$PWD/build}
slapd=${slapd:-$PWD/build/tests/support/cv-slapd}
tool=$bindir/remove-instance
plan_tool=$bindir/remove-instance-plan
echo "== running $tool and $plan_tool"

work=$(mktemp -d "${TMPDIR:-/tmp}/cv-demo.XXXXXX")
server_pid=
extra_pids=
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
  fi
  [ -n "$server_pid" ] && wait "$server_pid" 2>/dev/null || true
  for pid in $extra_pids; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

root=$work/serverroot
make_instance() {
  local dir=$root/$1
  mkdir -p "$dir/config" "$dir/logs" "$dir/db/userRoot" "$dir/db/changelog"
  printf 'dn: cn=config\ncn: config\n' >"$dir/config/dse.ldif"
  printf 'server started\n' >"$dir/logs/errors"
  head -c 65536 /dev/zero >"$dir/db/userRoot/id2entry.db"
}
make_instance slapd-demo
make_instance slapd-other

show_tree() {
  (cd "$work" && find serverroot -maxdepth 3 | sort | sed 's/^/    /')
}
server_state() {
  if kill -0 "$server_pid" 2>/dev/null && [ "$(ps -o stat= -p "$server_pid" | cut -c1)" != Z ]; then
    echo "running"
  else
    echo "stopped"
  fi
}

sleep 1000 &
server_pid=$!
echo "$server_pid" >"$root/slapd-demo/logs/pid"

echo "== before"
show_tree
echo "    stand-in server of slapd-demo (pid $server_pid): $(server_state)"

echo "== remove-instance as a CGI task: GET InstanceName=slapd-demo"
status=0
env -i PATH="$PATH" LDAPNOINIT=1 REQUEST_METHOD=GET QUERY_STRING=InstanceName=slapd-demo \
  SCRIPT_NAME=/slapd-demo/Tasks/Operation/Remove WAYPOST_ROOT="$root" "$tool" \
  >"$work/reply.txt" 2>&1 || status=$?
sed 's/^/    | /' "$work/reply.txt"
echo "    exit status: $status"

echo "== after"
show_tree
echo "    stand-in server of slapd-demo (pid $server_pid): $(server_state)"

if [ "$status" -ne 0 ] || [ -e "$root/slapd-demo" ] || [ ! -d "$root/slapd-other" ]; then
  echo "demo: the removal did not do what it should" >&2
  exit 1
fi

source scripts/demo_registry.sh
echo "== demo removal done"

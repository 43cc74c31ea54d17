#!/usr/bin/env bash
# The dependencies are installed by the time the tests run, so an ordinary
# user must get "dependencies present" and status 0, not a demand for root.
set -u
top=$1
# A copy the unprivileged user can read wherever the checkout lives.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$top/scripts/install-deps.sh" "$scratch/"
chmod 755 "$scratch" "$scratch/install-deps.sh"
run=(bash "$scratch/install-deps.sh")
if [ "$(id -u)" -eq 0 ]; then
  run=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${run[@]}")
fi
out=$(cd / && "${run[@]}" 2>&1)
status=$?
if [ $status -ne 0 ] || [ "$out" != "install-deps.sh: dependencies present" ]; then
  echo "status $status, output: $out" >&2
  exit 1
fi

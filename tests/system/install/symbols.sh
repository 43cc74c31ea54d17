#!/usr/bin/env bash
# Compares the dynamic symbols libcvsetup.so defines with the checked-in list
# of published names (mangled, one a line, sorted with LC_ALL=C). A new
# public function or class changes the list in the same commit; regenerate it
# from a plain (not sanitizer) build with
#   bash tests/system/install/symbols.sh build/libcvsetup.so tests/system/install/exported_symbols.txt --update
# and review the difference before committing it.
set -euo pipefail
lib=$1 list=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | grep -vx '_init\|_fini' | LC_ALL=C sort -u)
if [ "${3:-}" = --update ]; then
  printf '%s\n' "$actual" >"$list"
  echo "wrote $(wc -l <"$list") symbols to $list"
  exit 0
fi
if diff_out=$(diff -u "$list" <(printf '%s\n' "$actual")); then
  echo "$(wc -l <"$list") exported symbols, as listed"
  exit 0
fi
echo "FAIL: the symbols $lib exports differ from $list"
echo "(- listed but not exported, + exported but not listed; demangled after the tab)"
printf '%s\n' "$diff_out" | tail -n +3 | grep '^[-+]' | while IFS= read -r line; do
  printf '%s\t%s\n' "$line" "$(c++filt "${line:1}")"
done
echo "If the change is intended, regenerate the list:"
echo "  bash tests/system/install/symbols.sh $lib $list --update"
exit 1

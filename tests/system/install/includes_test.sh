#!/usr/bin/env bash
# Every folder includes only its own headers and the published ones: the tool
# (removal/, its plan in removal/plan/) and the admin task layer (admintask/)
# use the library through <cvsetup/...> only, the tool reaches the task layer
# through admtask.h only, the library (setup/) includes nothing of either, and
# a published header includes only published headers. Tests, benchmarks and
# fuzz targets are not checked: they see the internals on purpose
# (cvsetup_private).
# Usage: includes_test.sh SOURCE_DIR
set -uo pipefail
src=$1
cd "$src" || exit 2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# check FILE: each quoted include of FILE names a header that lies in one of
# the folders (or is one of the files) of ALLOWED, found the way the compiler
# finds it: beside FILE first, then on the include path (ALLOWED and the
# folders below them, in SEARCH). Each <cvsetup/...> include names a
# published header.
check() {
  local file=$1 name found where allowed
  while IFS= read -r name; do
    found=""
    for where in "${file%/*}" "${SEARCH[@]}"; do
      if [ -d "$where" ] && [ -f "$where/$name" ]; then found=$where/$name; break; fi
      if [ -f "$where" ] && [ "${where##*/}" = "$name" ]; then found=$where; break; fi
    done
    if [ -z "$found" ]; then
      if [ -f "include/cvsetup/$name" ]; then
        fail "$file includes \"$name\": a published header is included as <cvsetup/$name>"
      else
        fail "$file includes \"$name\", which is neither its own nor published"
      fi
      continue
    fi
    case $name in */*) found=$(realpath -m --relative-to=. "$found") ;; esac
    for allowed in "${ALLOWED[@]}"; do
      case $found in "$allowed" | "$allowed"/*) continue 2 ;; esac
    done
    fail "$file includes \"$name\" ($found), a header of another folder"
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  while IFS= read -r name; do
    [ -f "include/cvsetup/$name" ] || fail "$file includes <cvsetup/$name>, which is not published"
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<cvsetup\/\([^>]*\)>.*/\1/p' "$file")
}

# group FOLDER ALLOWED...: checks every source of FOLDER.
count=0
group() {
  local folder=$1 where file
  shift
  ALLOWED=("$@") SEARCH=()
  for where in "$@"; do
    if [ -d "$where" ]; then mapfile -t -O ${#SEARCH[@]} SEARCH < <(find "$where" -type d | sort); else SEARCH+=("$where"); fi
  done
  while IFS= read -r file; do
    check "$file"
    count=$((count + 1))
  done < <(find "$folder" -type f \( -name '*.h' -o -name '*.c' -o -name '*.cpp' \) | sort)
}

group removal removal admintask/admtask.h
group admintask admintask
group setup setup include/cvsetup
group include include/cvsetup
[ $failed = 0 ] && echo "$count files include only their own and published headers"
exit $failed

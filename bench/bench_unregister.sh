#!/usr/bin/env bash
# The hand-written shell equivalent of `remove-instance -f` for one instance,
# the peer that bench_unregister measures against: find the SIE and the
# product entry, delete the product subtree, prune the emptied parents below
# the configuration root, stop the server, delete its tree.
#
#   bench_unregister.sh <ldap url> <bind dn> <password> <instance> <machine> <server root>
set -u
url=$1 binddn=$2 pw=$3 name=$4 machine=$5 root=$6
root_dn=o=CorvidRoot
search() { ldapsearch -x -LLL -o ldif-wrap=no -H "$url" -D "$binddn" -w "$pw" "$@" 2>/dev/null; }
first_dn() { sed -n 's/^dn: //p' | head -n 1; }

sie=$(search -b "$root_dn" "(&(serverhostname=$machine)(cn=$name)(serverroot=$root))" 1.1 | first_dn)
[ -n "$sie" ] || { echo "no SIE for $name" >&2; exit 1; }
isie=$(search -b "$root_dn" "(&(objectclass=cvApplication)(uniquemember=$sie)(cvinstalledlocation=$root))" 1.1 | first_dn)
[ -n "$isie" ] || { echo "no ISIE for $sie" >&2; exit 1; }
ldapdelete -x -H "$url" -D "$binddn" -w "$pw" -r "$isie"

dn=$isie
while :; do
    dn=${dn#*,}
    dn=${dn# }
    [ "${dn,,}" = "${root_dn,,}" ] && break
    children=$(search -s one -z 1 -b "$dn" "(objectclass=*)" 1.1 | grep -c '^dn:')
    [ "$children" = 0 ] || break
    ldapdelete -x -H "$url" -D "$binddn" -w "$pw" "$dn"
done

pid=$(cat "$root/$name/logs/pid")
kill "$pid" 2>/dev/null
while kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
rm -rf "${root:?}/$name"

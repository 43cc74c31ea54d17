# Silent-mode part of the demo, sourced by scripts/demo.sh (which provides
# $work, $tool, $plan_tool, $slapd and the cleanup of every pid listed in
# $extra_pids).
#
# A throwaway slapd on 127.0.0.1 with the tests' schema holds a small
# registry: one admin domain, one host, one admin group, and the product
# "Corvid Directory Server" with two instances under one server root.
# `remove-instance-plan -f` shows what the removal would do, then
# `remove-instance -f` removes slapd-east; slapd-west keeps its registration
# (the product entry stays and only lists it), its files and its process.

echo "== configuration directory: a throwaway slapd"
# The same private server the tests start ($slapd, a build's cv-slapd): the
# registry's schema on 127.0.0.1, rootdn cn=Manager,o=CorvidRoot, its files in
# a temporary directory that it removes when it stops.
export LDAPNOINIT=1
"$slapd" "$work/slapd.port" &
extra_pids="$extra_pids $!"
slapd_pid=$!
for _ in $(seq 300); do
  [ -s "$work/slapd.port" ] && break
  kill -0 "$slapd_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/slapd.port" ]; then
  echo "demo: slapd did not start" >&2
  exit 1
fi
port=$(cat "$work/slapd.port")
ldap=(-x -H "ldap://127.0.0.1:$port/" -D "cn=Manager,o=CorvidRoot" -w secret)
echo "    listening on 127.0.0.1:$port"

sroot=$work/servers
host=demo.example.com
group="cn=Server Group, cn=$host, ou=example.com, o=CorvidRoot"
product="cn=Corvid Directory Server, $group"
ldapadd "${ldap[@]}" >/dev/null <<LDIF
dn: ou=example.com, o=CorvidRoot
objectclass: organizationalUnit
objectclass: cvAdminDomain
ou: example.com

dn: ou=Global Preferences, ou=example.com, o=CorvidRoot
objectclass: organizationalUnit
ou: Global Preferences

dn: cn=$host, ou=example.com, o=CorvidRoot
objectclass: cvHost
objectclass: groupOfUniqueNames
cn: $host
serverHostName: $host
uniquemember: $group

dn: $group
objectclass: cvAdminGroup
objectclass: groupOfUniqueNames
cn: Server Group
cvConfigRoot: $sroot
uniquemember: $product

dn: $product
objectclass: cvApplication
objectclass: groupOfUniqueNames
cn: Corvid Directory Server
cvInstalledLocation: $sroot
uniquemember: cn=slapd-east, $product
uniquemember: cn=slapd-west, $product

dn: cn=slapd-east, $product
objectclass: corvidServer
objectclass: groupOfUniqueNames
cn: slapd-east
serverRoot: $sroot
serverHostName: $host

dn: cn=configuration, cn=slapd-east, $product
objectclass: cvDirectoryInfo
cn: configuration

dn: cn=slapd-west, $product
objectclass: corvidServer
objectclass: groupOfUniqueNames
cn: slapd-west
serverRoot: $sroot
serverHostName: $host
LDIF

declare -A stand_in
for name in slapd-east slapd-west; do
  mkdir -p "$sroot/$name/config" "$sroot/$name/logs" "$sroot/$name/db"
  printf 'dn: cn=config\n' >"$sroot/$name/config/dse.ldif"
  head -c 16384 /dev/zero >"$sroot/$name/db/id2entry.db"
  sleep 1000 &
  stand_in[$name]=$!
  extra_pids="$extra_pids $!"
  echo "${stand_in[$name]}" >"$sroot/$name/logs/pid"
done

show_registry() {
  ldapsearch "${ldap[@]}" -LLL -o ldif-wrap=no -b o=CorvidRoot "(objectclass=*)" uniquemember |
    sed -n -e 's/^dn: /    /p' -e "s/^uniquemember: \\(cn=[^,]*\\),.*/        lists \\1/Ip"
}
show_servers() {
  (cd "$work" && find servers -maxdepth 2 | sort | sed 's/^/    /')
  for name in slapd-east slapd-west; do
    pid=${stand_in[$name]}
    if kill -0 "$pid" 2>/dev/null && [ "$(ps -o stat= -p "$pid" | cut -c1)" != Z ]; then
      echo "    stand-in server of $name (pid $pid): running"
    else
      echo "    stand-in server of $name (pid $pid): stopped"
    fi
  done
}

echo "== before: registry"
show_registry
echo "== before: files and processes"
show_servers

cat >"$work/remove.inf" <<INF
[uninstall]
ServerIdentifier= slapd-east
ServerRoot= $sroot
FullMachineName= $host
LDAPHost= 127.0.0.1
LDAPPort= $port
Suffix= o=CorvidRoot
ConfigDirectoryAdminID= cn=Manager,o=CorvidRoot
ConfigDirectoryAdminPwd= secret
INF
echo "== remove-instance-plan -f remove.inf (what the removal would do; changes nothing)"
plan_status=0
env -i PATH="$PATH" LDAPNOINIT=1 "$plan_tool" -f "$work/remove.inf" \
  >"$work/plan.txt" 2>&1 || plan_status=$?
sed 's/^/    | /' "$work/plan.txt"
echo "    exit status: $plan_status"
if [ "$plan_status" -ne 0 ] || ! kill -0 "${stand_in[slapd-east]}" 2>/dev/null ||
  [ ! -d "$sroot/slapd-east" ]; then
  echo "demo: the plan did not say success or changed something" >&2
  exit 1
fi

echo "== remove-instance -f remove.inf (silent mode, ServerIdentifier slapd-east)"
status=0
env -i PATH="$PATH" LDAPNOINIT=1 "$tool" -f "$work/remove.inf" >"$work/reply.txt" 2>&1 || status=$?
sed 's/^/    | /' "$work/reply.txt"
echo "    exit status: $status"

echo "== after: registry"
show_registry
echo "== after: files and processes"
show_servers

entries=$(ldapsearch "${ldap[@]}" -LLL -b o=CorvidRoot "(cn=slapd-*)" 1.1 | grep -c '^dn:' || true)
if [ "$status" -ne 0 ] || [ -e "$sroot/slapd-east" ] || [ ! -d "$sroot/slapd-west" ] ||
  [ "$entries" != 1 ]; then
  echo "demo: the silent-mode removal did not do what it should" >&2
  exit 1
fi

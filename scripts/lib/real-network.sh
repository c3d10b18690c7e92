# A real network for the virtual-name check, made only inside a network and
# mount namespace of the caller's own (scripts/test and scripts/lab
# --real-network enter one first). Sourced, not run.
#
#   here (the namespace Wine runs in)        "srv" (the other computers)
#   lo 127.0.0.1: dnsmasq, DNS for the lab   kvlan1 10.77.0.2: nmbd, NetBIOS name KVSRV1,
#     names only, never forwarding                    alias EVS1 (a virtual server's name)
#   kvlan0 10.77.0.1, fd77::1 ---- veth ----  kvlan1 10.77.0.3: answers echo, nothing else
#   10.78.0.0/24 routed to "srv" and dropped  fd77::2
#     there: addresses that never answer
#
# DNS knows KVSRV1 (10.77.0.2), EVSECHO (10.77.0.3), EVSSILENT (10.78.0.5),
# EVSSELF (10.77.0.1, this computer) and EVSSIX (fd77::2 only); EVS1 is
# NetBIOS's alone; EVSNONE is nobody's. The tests' table of these names is
# winlib/tests/support/RealNetwork.h, the lab's copy of this network the
# scenario lab/scenarios/real-network: keep all three in step.
#
# kv_real_network_up DIR exports KV_REAL_NETWORK: "up", or "skip: <why>" when
# no namespace of its own was made (nothing is started then), or
# "failed: <why>". kv_real_network_down stops every server by its process id.

KV_NET_MAC=02:4b:56:4c:00:01
KV_NET_SERVERS=()

# Records this shell's network and mount namespaces, before the caller
# enters namespaces of its own (unshare -n -m).
kv_record_outer_namespaces() {
  export KV_OUTER_NAMESPACES="$(readlink /proc/self/ns/net) $(readlink /proc/self/ns/mnt)"
}

# True when this shell's network and mount namespaces are not the ones the
# caller recorded before it entered its own (KV_OUTER_NAMESPACES).
kv_real_network_own_namespaces() {
  [ -n "${KV_OUTER_NAMESPACES:-}" ] || return 1
  local now
  now="$(readlink /proc/self/ns/net) $(readlink /proc/self/ns/mnt)"
  local outer_net=${KV_OUTER_NAMESPACES% *} outer_mnt=${KV_OUTER_NAMESPACES#* }
  [ "${now% *}" != "$outer_net" ] && [ "${now#* }" != "$outer_mnt" ]
}

kv_real_network_fail() {
  export KV_REAL_NETWORK="failed: $*"
  echo "warning: real network: $*" >&2
  kv_real_network_down
  return 1
}

# kv_real_network_wait CONDITION... : polls the condition for up to 15 s.
kv_real_network_wait() {
  local deadline=$((SECONDS + 15))
  while [ $SECONDS -lt $deadline ]; do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

# True once the holder process sits in a network namespace of its own.
kv_real_network_inner() {
  local inner
  inner=$(readlink "/proc/$1/ns/net" 2>/dev/null) && [ "$inner" != "$(readlink /proc/self/ns/net)" ]
}

kv_real_network_up() {
  local dir=$1
  if ! kv_real_network_own_namespaces; then
    export KV_REAL_NETWORK="skip: no network and mount namespace of its own could be made here"
    return 0
  fi
  rm -rf "$dir"
  mkdir -p "$dir"/{samba,etc}

  # Names resolve here and nowhere else.
  printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"$dir/etc/resolv.conf"
  printf '127.0.0.1 localhost\n127.0.1.1 %s\n::1 localhost\n' "$(hostname)" >"$dir/etc/hosts"
  mount --bind "$dir/etc/resolv.conf" /etc/resolv.conf || { kv_real_network_fail "cannot bind /etc/resolv.conf"; return 1; }
  mount --bind "$dir/etc/hosts" /etc/hosts || { kv_real_network_fail "cannot bind /etc/hosts"; return 1; }

  ip link set lo up
  # The other computers' namespace lives as long as its holder process.
  unshare -n sleep infinity &
  local holder=$!
  KV_NET_SERVERS+=("$holder")
  kv_real_network_wait kv_real_network_inner "$holder" \
    || { kv_real_network_fail "the inner namespace did not appear"; return 1; }
  local srv=(nsenter -t "$holder" -n)
  ip link add kvlan0 address "$KV_NET_MAC" type veth peer name kvlan1 netns "$holder" \
    || { kv_real_network_fail "cannot make the veth pair"; return 1; }
  ip addr add 10.77.0.1/24 dev kvlan0
  ip -6 addr add fd77::1/64 dev kvlan0 nodad
  ip link set kvlan0 up
  "${srv[@]}" ip link set lo up
  "${srv[@]}" ip addr add 10.77.0.2/24 dev kvlan1
  "${srv[@]}" ip addr add 10.77.0.3/24 dev kvlan1
  "${srv[@]}" ip -6 addr add fd77::2/64 dev kvlan1 nodad
  "${srv[@]}" ip link set kvlan1 up
  "${srv[@]}" sysctl -qw net.ipv4.ip_forward=0
  ip route add 10.78.0.0/24 via 10.77.0.2

  cat >"$dir/samba/smb.conf" <<EOF
[global]
  netbios name = KVSRV1
  netbios aliases = EVS1
  workgroup = KVLAB
  interfaces = 10.77.0.2/24
  bind interfaces only = yes
  local master = no
  domain master = no
  preferred master = no
  dns proxy = no
  wins support = no
  lock directory = $dir/samba
  state directory = $dir/samba
  cache directory = $dir/samba
  pid directory = $dir/samba
  private dir = $dir/samba
  log file = $dir/samba/nmbd.log
EOF
  "${srv[@]}" nmbd --foreground --no-process-group --configfile="$dir/samba/smb.conf" \
    >"$dir/nmbd.out" 2>&1 </dev/null &
  KV_NET_SERVERS+=("$!")

  dnsmasq --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts --no-poll \
    --listen-address=127.0.0.1 --bind-interfaces --pid-file= --log-facility="$dir/dnsmasq.log" \
    --host-record=kvsrv1,10.77.0.2 --host-record=evsecho,10.77.0.3 --host-record=evssilent,10.78.0.5 \
    --host-record=evsself,10.77.0.1 --host-record=evssix,fd77::2 \
    >"$dir/dnsmasq.out" 2>&1 </dev/null &
  KV_NET_SERVERS+=("$!")

  # Ready when dnsmasq listens and nmbd answers a broadcast for EVS1, which
  # it does once it has registered its names (about 4 s after its start).
  printf '[global]\n  interfaces = kvlan0\n  bind interfaces only = yes\n' >"$dir/samba/client.conf"
  kv_real_network_wait sh -c 'ss -Hlun "sport = :53" | grep -q 127.0.0.1' \
    || { kv_real_network_fail "dnsmasq did not start (see $dir/dnsmasq.out)"; return 1; }
  kv_real_network_wait nmblookup --configfile="$dir/samba/client.conf" -B 10.77.0.255 EVS1 >/dev/null 2>&1 \
    || { kv_real_network_fail "nmbd does not answer for EVS1 (see $dir/samba/nmbd.log)"; return 1; }
  export KV_REAL_NETWORK=up
}

kv_real_network_down() {
  local pid
  for pid in "${KV_NET_SERVERS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${KV_NET_SERVERS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  KV_NET_SERVERS=()
}

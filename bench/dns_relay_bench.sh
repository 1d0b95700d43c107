#!/usr/bin/env bash
# Benchmark of the DNS relay (prints figures; not part of the test command).
#
# On a namespace bed (upstream, hotspot, client) it measures with dnsperf the
# queries per second, the loss and the latency of the relay and of dnsmasq as
# a forwarder on the same address, once with a fast upstream (dnsmasq
# answering from its configuration) and once with an upstream that answers
# every query 50 ms after it came (bench/SlowDnsUpstream.cpp). Every query names a distinct
# host, so no cache answers for the upstream.
#
#   bench/dns_relay_bench.sh [seconds per run, default 10] [rounds, default 3]
#
# Each round measures the three servers once, each round in another order, so
# that no server always runs first after the upstream started; the upstream is
# warmed with an unmeasured run before the first round. The summary gives each
# server's median over the rounds and sets the relay against dnsmasq tuned to
# 1000 queries in flight.
#
# Needs root, dnsmasq, dnsperf, python3 and a default build (the relay host
# program build/default/tests/lumari_dns_relay_host and the slow upstream).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
rounds="${2:-3}"
relay_host=build/default/tests/lumari_dns_relay_host
slow_upstream=build/default/bench/slow_dns_upstream
for tool in dnsmasq dnsperf python3 ip; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done
[ "$(id -u)" -eq 0 ] || { echo "needs root" >&2; exit 1; }
[ -x "$relay_host" ] && [ -x "$slow_upstream" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }

id=$$
up=bup$id hs=bhs$id cl=bcl$id
work=$(mktemp -d)
cleanup() {
  for ns in $up $hs $cl; do
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
  done
  rm -rf "/etc/netns/$hs" "$work"
}
trap cleanup EXIT

for ns in $up $hs $cl; do ip netns add "$ns"; ip -n "$ns" link set lo up; done
ip link add bwan$id netns "$hs" type veth peer name eth0 netns "$up"
ip link add blan$id netns "$hs" type veth peer name eth0 netns "$cl"
ip -n "$up" addr add 198.51.100.1/24 dev eth0; ip -n "$up" link set eth0 up
ip -n "$hs" addr add 198.51.100.2/24 dev bwan$id; ip -n "$hs" link set bwan$id up
ip -n "$hs" addr add 192.168.77.1/24 dev blan$id; ip -n "$hs" link set blan$id up
ip -n "$cl" addr add 192.168.77.2/24 dev eth0; ip -n "$cl" link set eth0 up
mkdir -p "/etc/netns/$hs"
echo "nameserver 198.51.100.1" > "/etc/netns/$hs/resolv.conf"

# Distinct names, more than any run sends.
python3 -c "
import sys
with open('$work/queries', 'w') as f:
    for i in range(2000000): f.write('h%d.bench.test A\n' % i)
"


start_upstream() {
  ip netns pids "$up" | xargs -r kill -9 2>/dev/null || true
  sleep 0.3
  if [ "$1" = fast ]; then
    ip netns exec "$up" dnsmasq --keep-in-foreground --no-resolv --no-hosts \
      --listen-address=198.51.100.1 --bind-interfaces --pid-file="$work/up.pid" \
      --address=/bench.test/203.0.113.10 >/dev/null 2>&1 &
  else
    ip netns exec "$up" "$slow_upstream" 198.51.100.1 53 50 >/dev/null 2>&1 &
  fi
  for _ in $(seq 100); do
    ip netns exec "$up" dig @198.51.100.1 +short +time=1 +tries=1 h.bench.test >/dev/null 2>&1 && return
    sleep 0.1
  done
  echo "upstream did not start" >&2; exit 1
}

start_server() {
  ip netns pids "$hs" | xargs -r kill -9 2>/dev/null || true
  sleep 0.3
  case "$1" in
  relay)
    ip netns exec "$hs" "$relay_host" 192.168.77.1 53 > "$work/relay.out" 2>&1 & ;;
  dnsmasq)  # as shipped: at most 150 queries forwarded at once
    ip netns exec "$hs" dnsmasq --keep-in-foreground --no-resolv --no-hosts \
      --server=198.51.100.1 --listen-address=192.168.77.1 --bind-interfaces \
      --pid-file="$work/hs.pid" >/dev/null 2>&1 & ;;
  dnsmasq1k)  # tuned: up to 1000 forwarded at once
    ip netns exec "$hs" dnsmasq --keep-in-foreground --no-resolv --no-hosts \
      --server=198.51.100.1 --listen-address=192.168.77.1 --bind-interfaces \
      --dns-forward-max=1000 --pid-file="$work/hs.pid" >/dev/null 2>&1 & ;;
  esac
  for _ in $(seq 100); do
    ip netns exec "$cl" dig @192.168.77.1 +noedns +short +time=1 +tries=1 w.bench.test \
      2>/dev/null | grep -q 203.0.113.10 && return
    sleep 0.1
  done
  echo "$1 did not start" >&2; exit 1
}

run() {  # upstream server
  start_server "$2"
  ip netns exec "$cl" dnsperf -s 192.168.77.1 -d "$work/queries" -l "$seconds" -q 200 \
    -t 2 > "$work/perf.out" 2>&1 || true
  local qps lost lat codes answered
  qps=$(awk '/Queries per second:/ {printf "%.0f", $4}' "$work/perf.out")
  lost=$(awk '/Queries lost:/ {print $3, $4}' "$work/perf.out")
  lat=$(awk '/Average Latency/ {printf "%.1f", $4 * 1000}' "$work/perf.out")
  codes=$(sed -n 's/.*Response codes: *//p' "$work/perf.out")
  # Responses with an answer (NOERROR) per second: the rate that serves clients.
  answered=$(awk -v s="$seconds" '/Response codes:/ {for (i = 1; i <= NF; i++) if ($i == "NOERROR") {printf "%.0f", $(i + 1) / s}}' "$work/perf.out")
  printf '%-4s upstream  %-9s %7s q/s answered (%7s responses/s)  lost %-14s avg %6s ms  [%s]\n' \
    "$1" "$2" "${answered:-0}" "$qps" "$lost" "$lat" "$codes"
  echo "$1 $2 ${answered:-0} ${lat:-0}" >>"$work/results"
  if [ "$2" = relay ]; then
    ip netns pids "$hs" | xargs -r kill -TERM 2>/dev/null || true
    for _ in $(seq 50); do grep -q '^queries' "$work/relay.out" && break; sleep 0.1; done
    printf '       relay counts: %s\n' "$(tail -n 1 "$work/relay.out")"
  fi
}

warm_upstream() {  # an unmeasured run straight at the upstream
  ip netns exec "$hs" dnsperf -s 198.51.100.1 -d "$work/queries" -l 3 -q 200 -t 2 >/dev/null 2>&1 || true
}
median() {  # upstream server column -> the median of that column over the rounds
  awk -v u="$1" -v s="$2" -v c="$3" '$1 == u && $2 == s {print $c}' "$work/results" | sort -n |
    awk '{v[NR] = $1} END {if (NR == 0) print 0; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
servers=(relay dnsmasq dnsmasq1k)
echo "DNS relay benchmark: dnsperf, ${seconds}s per run, 200 queries outstanding, $rounds rounds"
for upstream in fast slow; do
  start_upstream "$upstream"
  warm_upstream
  for round in $(seq "$rounds"); do
    for k in 0 1 2; do
      run "$upstream" "${servers[$(((round - 1 + k) % 3))]}"
    done
  done
done
echo "Medians over $rounds rounds (answered q/s, average latency):"
verdict=yes
for upstream in fast slow; do
  for server in "${servers[@]}"; do
    printf '  %-4s %-9s %7s q/s  %6s ms\n' "$upstream" "$server" \
      "$(median $upstream $server 3)" "$(median $upstream $server 4)"
  done
  relay_q=$(median $upstream relay 3) relay_l=$(median $upstream relay 4)
  tuned_q=$(median $upstream dnsmasq1k 3) tuned_l=$(median $upstream dnsmasq1k 4)
  if awk -v a="$relay_q" -v b="$tuned_q" -v x="$relay_l" -v y="$tuned_l" \
    'BEGIN {exit !(a >= b && x <= y + 1)}'; then
    echo "  $upstream: relay at or above dnsmasq1k ($relay_q vs $tuned_q q/s, $relay_l vs $tuned_l ms)"
  else
    verdict=no
    echo "  $upstream: relay BELOW dnsmasq1k ($relay_q vs $tuned_q q/s, $relay_l vs $tuned_l ms)"
  fi
done
echo "relay at or above dnsmasq1k for both upstreams: $verdict"

#!/usr/bin/env bash
# What one broker holds: N simulated meters, each with its own `phasemeter-cli live` publishing a
# reading a second to one mosquitto on loopback, for SECONDS. Prints the CPU time and the resident
# memory of the broker and of each publisher. Run from the build folder's parent:
#   scripts/measure-telemetry.sh [N] [SECONDS]
set -euo pipefail
n=${1:-16}
seconds=${2:-60}
build=${BUILD:-build}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\nuser root\n' "$port" > "$work/mosquitto.conf"
/usr/sbin/mosquitto -c "$work/mosquitto.conf" 2> "$work/broker.log" &
broker=$!
pids+=("$broker")
sleep 1

cli=()
for k in $(seq 1 "$n"); do
  "$build/tools/sim/phasemeter-sim" --link "$work/meter$k" --seed "$k" > /dev/null &
  pids+=("$!")
done
sleep 1
for k in $(seq 1 "$n"); do
  "$build/tools/cli/phasemeter-cli" live --port "$work/meter$k" --format csv \
      --output "$work/meter$k.csv" --mqtt "mqtt://127.0.0.1:$port/plant" --mqtt-id "meter$k" \
      --metrics 0 2> "$work/cli$k.log" &
  cli+=("$!")
  pids+=("$!")
done

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
sleep 5 # linked and publishing
b0=$(cpu "$broker"); c0=$(cpu "${cli[0]}")
sleep "$seconds"
b1=$(cpu "$broker"); c1=$(cpu "${cli[0]}")
total=0
for p in "${cli[@]}"; do total=$((total + $(rss "$p"))); done
rows=$(($(wc -l < "$work/meter1.csv") - 1))
echo "over $seconds s, $n publishers at a reading a second each ($rows readings logged by the first):"
echo "  mosquitto:       CPU $(awk -v t=$((b1 - b0)) -v h="$ticks" -v s="$seconds" 'BEGIN{printf "%.2f%%", 100*t/h/s}'), RSS $(rss "$broker") KiB"
echo "  one publisher:   CPU $(awk -v t=$((c1 - c0)) -v h="$ticks" -v s="$seconds" 'BEGIN{printf "%.2f%%", 100*t/h/s}'), RSS $(rss "${cli[0]}") KiB"
echo "  all publishers:  RSS $total KiB"

#!/usr/bin/env bash
# Builds phasemeter and opens its window on the simulated instrument: phasemeter-sim plays the
# meter on a pseudo-terminal, which the window finds as COM1 (PHASEMETER_PORTS). The simulator is
# stopped when the window closes. Options are handed to the simulator, e.g. --records 20.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target phasemeter phasemeter-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/phasemeter-run.XXXXXX")
sim_pid=""
window_pid=""
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$build/tools/sim/phasemeter-sim" --link "$work/meter" "$@" >"$work/sim.out" &
sim_pid=$!

# The simulator names its device on its first line once it is ready.
for _ in $(seq 100); do
  [ -s "$work/sim.out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "run-simulated: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/sim.out" ] || { echo "run-simulated: the simulator gave no device" >&2; exit 1; }
echo "run-simulated: simulated meter on $(head -n 1 "$work/sim.out") as COM1"

PHASEMETER_PORTS="$work/meter" "$build/src/phasemeter" &
window_pid=$!
status=0
wait "$window_pid" || status=$?
window_pid=""
exit "$status"

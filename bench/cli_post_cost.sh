#!/usr/bin/env bash
# Cost of one command-line client call (`tavlin message x`) next to dbus-send posting the same
# signal, on a private session bus, as per-call medians, their ratio, and the page faults of one
# call of each (perf stat, when perf is installed). Target: tavlin no slower than dbus-send.
#
# Usage: bench/cli_post_cost.sh [path/to/tavlin] [runs]
#   default tavlin: build/src/app/tavlin (build Release or RelWithDebInfo to measure); runs: 200
# Uses hyperfine when it is installed, else a loop timed with $EPOCHREALTIME.
set -euo pipefail
export LC_ALL=C # $EPOCHREALTIME with a "." decimal point

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tavlin=${1:-$root/build/src/app/tavlin}
runs=${2:-200}
[[ -x $tavlin ]] || { echo "no tavlin executable at $tavlin" >&2; exit 1; }
if ! command -v dbus-daemon >/dev/null || ! command -v dbus-send >/dev/null; then
  echo "dbus-daemon and dbus-send are needed" >&2
  exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-bench.XXXXXX")
# shellcheck source=../scripts/lib/private-desktop.sh
source "$root/scripts/lib/private-desktop.sh"
cleanup() {
  stop_private_desktop
  rm -rf -- "$tmp"
}
trap cleanup EXIT

# A bus of our own, so nothing on the user's bus is disturbed.
start_private_bus "$tmp/dbus" "$tmp/bus" || exit 1

# The signal tavlin sends for `message x`, byte for byte.
name=local.tavlin.notification_names.action_outcome_event
object=$'{\n  "message" : {\n    "text" : "x"\n  }\n}'
client=("$tavlin" message x)
reference=(dbus-send --session --type=signal /local/tavlin/DistributedNotificationCenter
  local.tavlin.DistributedNotificationCenter.Post "string:$name" "string:$object")

echo "runs: $runs per command; bus: $DBUS_SESSION_BUS_ADDRESS; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
# What a call maps and touches: the client's own code and the libraries it loads.
if command -v size >/dev/null; then
  echo "tavlin executable: $(size "$tavlin" | awk 'NR == 2 { print $1 }') bytes of code and constants"
fi
if command -v perf >/dev/null && perf stat -x, -e page-faults true >/dev/null 2>&1; then
  faults() { perf stat -x, -r 20 -e page-faults "$@" 2>&1 >/dev/null | awk -F, '/page-faults/ { print $1 }'; }
  echo "page faults per call        tavlin $(faults "${client[@]}")   dbus-send $(faults "${reference[@]}")"
fi
if command -v hyperfine >/dev/null; then
  # -N: no shell in between, so only the programs themselves are timed.
  hyperfine -N --style basic --warmup 20 --runs "$runs" --export-json "$tmp/result.json" \
    --command-name "tavlin message x" "${client[*]}" \
    --command-name "dbus-send, same signal" "${reference[*]:0:5} string:$name 'string:$object'" \
    >"$tmp/hyperfine.log"
  grep -o '"median": *[0-9.e-]*' "$tmp/result.json" | grep -o '[0-9.e-]*$' | awk '
    NR == 1 { printf "tavlin message x          median %.3f ms per call (hyperfine)\n", $1 * 1000; t = $1 }
    NR == 2 { printf "dbus-send, same signal    median %.3f ms per call (hyperfine)\n", $1 * 1000; d = $1 }
    END { printf "tavlin / dbus-send        %.2f\n", t / d }'
  exit 0
fi

# Microseconds of one run of a command.
elapsed_us() {
  local start=$EPOCHREALTIME end
  "$@" >/dev/null 2>&1
  end=$EPOCHREALTIME
  echo $((${end/./} - ${start/./}))
}
median_ms() { sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m / 1000 }'; }

for ((i = 0; i < 20; i++)); do "${client[@]}" >/dev/null 2>&1; "${reference[@]}" >/dev/null 2>&1; done
: >"$tmp/client" ; : >"$tmp/reference"
# Alternating, so that drift in the machine's load hits both alike.
for ((i = 0; i < runs; i++)); do
  elapsed_us "${client[@]}" >>"$tmp/client"
  elapsed_us "${reference[@]}" >>"$tmp/reference"
done
client_ms=$(median_ms <"$tmp/client")
reference_ms=$(median_ms <"$tmp/reference")
echo "tavlin message x          median $client_ms ms per call (loop)"
echo "dbus-send, same signal    median $reference_ms ms per call (loop)"
awk -v t="$client_ms" -v d="$reference_ms" 'BEGIN { printf "tavlin / dbus-send        %.2f\n", t / d }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

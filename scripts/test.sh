#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the test suites against a private X server,
# a private session bus and a throwaway home, so no test can touch the real desktop or user.
#
# Environment:
#   BUILD_DIR     build directory, relative to the repo root (default: build, or build-sanitize)
#   CMAKE_ARGS    extra arguments for the cmake configure step, split on whitespace
#   SANITIZE=1    build with AddressSanitizer and UndefinedBehaviorSanitizer
#   SKIP_INSTALL=1  do not install packages
#   JOBS          parallel build and test jobs (default: the number of cores)
#   WHOLE=1       instead of ctest, run each test program whole and shuffled in one process
#                 (scripts/lib/whole-programs.sh)
# Arguments are passed on to ctest, e.g. ./scripts/test.sh -R Pattern; with WHOLE=1 to every
# test program, e.g. WHOLE=1 ./scripts/test.sh --gtest_shuffle --gtest_random_seed=7
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

log() { printf '[test.sh] %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

# shellcheck source=lib/install.sh
source "$root/scripts/lib/install.sh"

if [[ ${SKIP_INSTALL:-0} == 1 ]]; then
  log "skipping package installation (SKIP_INSTALL=1)"
else
  install_missing
fi

jobs=${JOBS:-$(nproc)}
sanitize=OFF
if [[ ${SANITIZE:-0} == 1 ]]; then
  sanitize=ON
  build_dir=${BUILD_DIR:-build-sanitize}
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build_dir=${BUILD_DIR:-build}
fi

read -r -a cmake_args <<<"${CMAKE_ARGS:-}"
# TAVLIN_SANITIZE is always given so that reusing a build dir never keeps a stale setting;
# CMAKE_ARGS comes last so it can override any of these.
log "configuring $build_dir (TAVLIN_SANITIZE=$sanitize)"
cmake -S "$root" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVLIN_SANITIZE="$sanitize" \
  "${cmake_args[@]}"
log "building $build_dir"
cmake --build "$build_dir" --parallel "$jobs"

# --- Private session ---------------------------------------------------------------------
tmp=""
xvfb_pid=""
dbus_pid=""
ctest_pid=""

# Whether a process (or, given -PGID, any member of a process group) is still running. A
# daemon that forked away is reaped by init, so it can linger as a zombie for a while.
# shellcheck disable=SC2317  # only called from the EXIT trap
running() {
  local target=$1 stat f
  local -a fields
  if [[ $target != -* ]]; then
    { read -r stat <"/proc/$target/stat"; } 2>/dev/null || return 1
    read -r -a fields <<<"${stat##*) }"
    # A bare "return" in a trap handler returns the status from before the trap.
    [[ ${fields[0]} != Z ]] && return 0
    return 1
  fi
  for f in /proc/[0-9]*/stat; do
    # The process may be gone by now.
    { read -r stat <"$f"; } 2>/dev/null || continue
    read -r -a fields <<<"${stat##*) }"
    [[ ${fields[2]} == "${target#-}" && ${fields[0]} != Z ]] && return 0
  done
  return 1
}

# Asks a process (or, given -PGID, a process group) to stop, then kills it if it has not
# gone after a few seconds.
# shellcheck disable=SC2317  # only called from the EXIT trap
stop_pid() {
  local target=$1 name=$2 i
  running "$target" || return 0
  kill -TERM -- "$target" 2>/dev/null || return 0
  for ((i = 0; i < 50; i++)); do
    running "$target" || return 0
    sleep 0.1
  done
  log "$name ($target) ignored SIGTERM, killing it"
  kill -KILL -- "$target" 2>/dev/null || true
}

# shellcheck disable=SC2317  # the EXIT trap
cleanup() {
  local status=$?
  trap - EXIT HUP INT TERM
  # Clean up as much as possible even if a step fails.
  set +e
  if [[ -n $ctest_pid ]]; then
    stop_pid "-$ctest_pid" "ctest and its tests"
    wait "$ctest_pid" 2>/dev/null || true
  fi
  if [[ -n $dbus_pid ]]; then stop_pid "$dbus_pid" dbus-daemon; fi
  if [[ -n $xvfb_pid ]]; then
    stop_pid "$xvfb_pid" Xvfb
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if [[ -n $tmp ]]; then rm -rf -- "$tmp"; fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-test.XXXXXX")
# The path ends up unescaped in a D-Bus address and in XML.
[[ $tmp =~ ^[A-Za-z0-9_./-]+$ ]] || die "temporary directory has unusual characters: $tmp"

mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime" "$tmp/dbus"
chmod 700 "$tmp/runtime"

# Xvfb writes its display number to the fd once it accepts connections; a FIFO lets us
# block on that instead of polling. Without -noreset the server resets whenever its last
# client disconnects, which drops keymap changes made by tests.
mkfifo "$tmp/displayfd"
Xvfb -displayfd 3 -nolisten tcp -noreset 3>"$tmp/displayfd" </dev/null >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
if ! read -r -t 60 display <"$tmp/displayfd" || [[ ! $display =~ ^[0-9]+$ ]]; then
  cat "$tmp/xvfb.log" >&2 || true
  die "Xvfb did not report a display number"
fi
export DISPLAY=":$display"
log "Xvfb ($xvfb_pid) on $DISPLAY"

# No <servicedir>, so nothing on the bus gets auto-activated: the tests see only the
# services they start themselves.
cat >"$tmp/dbus/session.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$tmp/runtime/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$tmp/dbus/session.conf" --fork --print-address=1 --print-pid=1 \
  </dev/null >"$tmp/dbus/info" 2>"$tmp/dbus/log" || {
  cat "$tmp/dbus/log" >&2 || true
  die "dbus-daemon failed to start"
}
{ read -r bus_address && read -r dbus_pid; } <"$tmp/dbus/info" || die "dbus-daemon printed no address and pid"
[[ $dbus_pid =~ ^[0-9]+$ && -n $bus_address ]] || die "unexpected dbus-daemon output: $(cat "$tmp/dbus/info")"
export DBUS_SESSION_BUS_ADDRESS=$bus_address
log "dbus-daemon ($dbus_pid) at $DBUS_SESSION_BUS_ADDRESS"

export HOME="$tmp/home"
export XDG_CONFIG_HOME="$tmp/config"
export XDG_DATA_HOME="$tmp/data"
export XDG_CACHE_HOME="$tmp/cache"
export XDG_RUNTIME_DIR="$tmp/runtime"
# Both are here now: a test that still finds no display or bus fails instead of skipping.
export TAVLIN_TEST_REQUIRE_DESKTOP=1
# Nothing from the caller's desktop session may leak into the tests.
unset XAUTHORITY WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM \
  XDG_CURRENT_DESKTOP XDG_SESSION_TYPE XDG_SESSION_DESKTOP DESKTOP_SESSION \
  DBUS_STARTER_ADDRESS DBUS_STARTER_BUS_TYPE

# The tests run in their own process group, in the background: bash runs traps only once a
# foreground command returns, and the EXIT trap stops the whole group, so neither an
# interrupted run nor a test that leaves a child behind keeps anything running.
if [[ ${WHOLE:-0} == 1 ]]; then
  setsid "$root/scripts/lib/whole-programs.sh" "$build_dir" "$jobs" "$@" </dev/null &
else
  setsid ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j "$jobs" "$@" \
    </dev/null &
fi
ctest_pid=$!
status=0
wait "$ctest_pid" || status=$?
exit "$status"

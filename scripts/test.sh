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
ctest_pid=""

# shellcheck source=lib/private-desktop.sh
source "$root/scripts/lib/private-desktop.sh"

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
  stop_private_desktop
  if [[ -n $tmp ]]; then rm -rf -- "$tmp"; fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-test.XXXXXX")
mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
chmod 700 "$tmp/runtime"

start_private_x "$tmp" || exit 1
log "Xvfb ($private_xvfb_pid) on $DISPLAY"
start_private_bus "$tmp/dbus" "$tmp/runtime/bus" || exit 1
log "dbus-daemon ($private_dbus_pid) at $DBUS_SESSION_BUS_ADDRESS"

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
  DBUS_STARTER_ADDRESS DBUS_STARTER_BUS_TYPE TAVLIN_SILENCE

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

#!/usr/bin/env bash
# Runs every test program of a build whole, in one process, shuffled: state one test leaves in
# the process then reaches the next, which CTest (one process per test) never shows.
# Programs run side by side, except those sharing a CTest resource lock (the X server's input,
# the bus name), which run one after another. Meant to run inside the private session of
# scripts/test.sh.
#
# Usage: whole-programs.sh BUILD_DIR JOBS [GoogleTest arguments...]
# The arguments default to --gtest_shuffle; a failing program's log names the seed of its order.
set -euo pipefail

build_dir=$1
jobs=$2
shift 2
gtest_args=("$@")
((${#gtest_args[@]} > 0)) || gtest_args=(--gtest_shuffle)

log() { printf '[whole-programs] %s\n' "$*" >&2; }

logs=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-whole.XXXXXX")
trap 'rm -rf -- "$logs"' EXIT

# One line per group: its programs, tab-separated, each with its working folder. A program
# without a lock is a group of its own. Groups of several programs take longest: they go first.
ctest --test-dir "$build_dir" --show-only=json-v1 | jq -r '
  [.tests[] | {
    program: .command[0],
    folder: ((.properties // []) | map(select(.name == "WORKING_DIRECTORY"))[0].value // ""),
    lock: ((.properties // []) | map(select(.name == "RESOURCE_LOCK"))[0].value // [] | sort | join(","))
  }] | unique
  | group_by(if .lock == "" then .program else .lock end) | sort_by(-length)[]
  | map("\(.program)|\(.folder)") | join("\t")' >"$logs/groups"
[[ -s $logs/groups ]] || { log "no test programs in $build_dir"; exit 1; }

# Runs one group's programs in turn; a program's log is kept under $logs, named after it.
run_group() {
  local entry program folder name status start
  local -a entries
  IFS=$'\t' read -r -a entries <<<"$1"
  for entry in "${entries[@]}"; do
    program=${entry%%|*}
    folder=${entry#*|}
    name=${program##*/}
    start=$SECONDS
    status=0
    # A hanging program fails instead of stalling CI.
    (cd "${folder:-.}" && timeout --kill-after=10 900 "$program" "${gtest_args[@]}") \
      >"$logs/$name.log" 2>&1 </dev/null || status=$?
    if ((status == 0)); then
      printf '[whole-programs] %s: OK (%ds)\n' "$name" $((SECONDS - start))
    else
      printf '[whole-programs] %s: FAILED with status %d (%ds)\n' "$name" "$status" $((SECONDS - start))
      touch "$logs/$name.failed"
    fi
  done
  return 0
}
gtest_args_text=$(printf '%q ' "${gtest_args[@]}")
export -f run_group
export logs gtest_args_text

start=$SECONDS
log "running $(wc -l <"$logs/groups") groups of programs, $jobs at a time: ${gtest_args[*]}"
# xargs hands each group line to a shell of its own; the arguments travel as quoted text.
# shellcheck disable=SC2016  # expanded by the inner shell
tr '\n' '\0' <"$logs/groups" |
  xargs -0 -P "$jobs" -I{} bash -c 'eval "gtest_args=($gtest_args_text)"; run_group "$1"' _ {}

failed=0
for marker in "$logs"/*.failed; do
  [[ -f $marker ]] || continue
  name=${marker##*/}
  name=${name%.failed}
  printf '\n--- %s failed; its output (last 200 lines):\n' "$name"
  grep -E '^\[  FAILED  \]|^Note: Randomizing' "$logs/$name.log" | sort -u || true
  tail -n 200 "$logs/$name.log"
  failed=$((failed + 1))
done
log "whole programs done in $((SECONDS - start))s; $failed failed"
((failed == 0))

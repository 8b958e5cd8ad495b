#!/usr/bin/env bash
# Lints the shell scripts with shellcheck and src/ with clang-tidy (the checks .clang-tidy names).
# Any finding fails.
#
#   lint.sh [BUILD_DIR]   BUILD_DIR holds the compile_commands.json of a clang build
#                         (default: build, which CI builds with clang)
# Environment:
#   SKIP_INSTALL=1  do not install shellcheck and clang-tidy when they are missing
#   JOBS            parallel clang-tidy runs (default: the number of cores)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

log() { printf '[lint.sh] %s\n' "$*" >&2; }
die() { log "error: $*"; exit 2; }

# shellcheck source=lib/install.sh
source "$root/scripts/lib/install.sh"
[[ ${SKIP_INSTALL:-0} == 1 ]] || install_missing shellcheck clang-tidy

build_dir=${1:-build}
[[ -f $build_dir/compile_commands.json ]] || die "no $build_dir/compile_commands.json: build first"

status=0
log "shellcheck"
shell_scripts=(.ci/run scripts/*.sh scripts/lib/*.sh bench/*.sh)
shellcheck "${shell_scripts[@]}" || status=1

# Only our own sources; the files moc and the resource compiler write are not ours to lint.
log "clang-tidy over src/"
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy) || die "run-clang-tidy is not installed"
"$tidy" -quiet -j "${JOBS:-$(nproc)}" -p "$build_dir" "^$root/src/.*\\.cpp\$" >"$build_dir/clang-tidy.log" 2>&1 ||
  status=1
# run-clang-tidy prints every command; the findings are what matters.
grep -E '(warning|error):' "$build_dir/clang-tidy.log" | sort -u || true
((status == 0)) || log "lint found problems"
exit "$status"

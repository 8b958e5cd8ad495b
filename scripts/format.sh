#!/usr/bin/env bash
# Formats every tracked C/C++ file in place with clang-format 14 and the repo's .clang-format.
#
#   --check   change nothing: print the differences and exit 1 when any file is not formatted
#
# Environment:
#   CLANG_FORMAT    the clang-format to use (default: clang-format-14, else clang-format)
#   SKIP_INSTALL=1  do not install clang-format when it is missing
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

log() { printf '[format.sh] %s\n' "$*" >&2; }
die() { log "error: $*"; exit 2; }

check=0
case ${1:-} in
  "") ;;
  --check) check=1 ;;
  *) die "usage: $0 [--check]" ;;
esac

# shellcheck source=lib/install.sh
source "$root/scripts/lib/install.sh"
[[ ${SKIP_INSTALL:-0} == 1 ]] || install_missing clang-format

formatter=${CLANG_FORMAT:-}
if [[ -z $formatter ]]; then
  formatter=clang-format
  if command -v clang-format-14 >/dev/null; then formatter=clang-format-14; fi
fi
command -v "$formatter" >/dev/null || die "$formatter is not installed"
# Other versions lay out some constructs differently, so the check would flip back and forth.
version=$("$formatter" --version)
[[ $version =~ version\ 14\. ]] || die "clang-format 14 is needed, found: $version"

mapfile -t sources < <(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
((${#sources[@]} > 0)) || die "no tracked C/C++ files"

if ((check == 0)); then
  printf '%s\0' "${sources[@]}" | xargs -0 -n 50 "$formatter" -i --style=file
  log "formatted ${#sources[@]} files"
  exit 0
fi

# One formatter per core: a file at a time each, each printing its own differences.
# shellcheck disable=SC2016  # expanded by the inner shell
if ! printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "$(nproc)" bash -c \
  '"$0" --style=file "$1" | diff -u --label "$1" --label "$1 (formatted)" "$1" -' "$formatter"; then
  log "some of the ${#sources[@]} files are not formatted; run scripts/format.sh"
  exit 1
fi
log "all ${#sources[@]} files are formatted"

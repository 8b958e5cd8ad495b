#!/usr/bin/env bash
# Installs what is missing, builds, registers the tavlin:// URL handler for this user, and
# starts the launcher on the current X display, or on a private Xvfb with a private session bus
# when there is no display.
#
# Environment:
#   BUILD_DIR       build directory, relative to the repo root (default: build)
#   SKIP_INSTALL=1  do not install packages
# Arguments are passed on to tavlin.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

log() { printf '[run.sh] %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

# shellcheck source=lib/install.sh
source "$root/scripts/lib/install.sh"
if [[ ${SKIP_INSTALL:-0} == 1 ]]; then
  log "skipping package installation (SKIP_INSTALL=1)"
else
  install_missing
fi

build_dir=${BUILD_DIR:-build}
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLIN_SANITIZE=OFF >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target tavlin tavlin_application
[[ $build_dir == /* ]] || build_dir="$root/$build_dir"
tavlin="$build_dir/src/app/tavlin"
[[ -x $tavlin ]] || die "the build made no $tavlin"
# The path goes into a desktop entry's Exec line, where these would need escaping.
[[ $tavlin != *[\"\`\$\\%]* ]] || die "the build folder's path has a character a desktop entry cannot carry: $tavlin"

# The desktop hands tavlin:// URLs (the configuration window's) to this build.
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
cat >"$applications/tavlin.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=tavlin
Comment=Keyboard launcher
Exec="$tavlin" %u
Terminal=false
NoDisplay=false
Categories=Utility;
MimeType=x-scheme-handler/tavlin;
StartupWMClass=tavlin
ENTRY
if command -v xdg-mime >/dev/null; then
  xdg-mime default tavlin.desktop x-scheme-handler/tavlin || log "could not register the tavlin:// handler"
fi
if command -v update-desktop-database >/dev/null; then
  update-desktop-database "$applications" 2>/dev/null || true
fi

if [[ -n ${DISPLAY:-} ]]; then
  log "starting tavlin on $DISPLAY"
  exec "$tavlin" "$@"
fi

# No display: a private X server that only this user's cookie opens, and a private bus (the
# launcher must not take the name of the desktop's own on the real session bus).
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-run.XXXXXX")
# shellcheck source=lib/private-desktop.sh
source "$root/scripts/lib/private-desktop.sh"
cleanup() {
  stop_private_desktop
  rm -rf -- "$tmp"
}
trap cleanup EXIT
start_private_x "$tmp" cookie || exit 1
log "no display: started Xvfb on $DISPLAY; tavlin runs there (stop it with Ctrl-C)"
start_private_bus "$tmp/dbus" "$tmp/bus" || exit 1
"$tavlin" "$@"

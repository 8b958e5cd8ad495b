# shellcheck shell=bash
# Sourced by the scripts: the Debian packages the build, the tests and the app need, and their
# installation. Expects log and die to be defined.

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6svg6 libx11-dev libxtst-dev libxi-dev libxkbcommon-dev libxkbcommon-x11-dev
  nlohmann-json3-dev libicu-dev libgtest-dev libbenchmark-dev libdbus-1-dev libglib2.0-dev
  xvfb xauth dbus x11-xkb-utils xkb-data fonts-dejavu-core xdg-utils openbox jq at-spi2-core
  clang libclang-rt-14-dev clang-format clang-tidy shellcheck
)
# Only the benchmarks use these: the start-up benchmark measures a hot-key daemon beside us.
bench_packages=(xbindkeys)

# Installs the given packages, or all of the above (the benchmarks' too), that are missing.
install_missing() {
  local missing=() pkg status wanted=("$@")
  ((${#wanted[@]} > 0)) || wanted=("${packages[@]}" "${bench_packages[@]}")
  for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$pkg")
  done
  if ((${#missing[@]} == 0)); then
    log "all required packages are installed"
    return
  fi
  log "installing: ${missing[*]}"
  local sudo=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null || die "not root and sudo is missing; install as root: ${missing[*]}"
    sudo=(sudo)
  fi
  # A fresh machine may still be running its boot-time apt jobs: wait for their lock.
  local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600)
  "${apt[@]}" update </dev/null
  "${apt[@]}" install -y --no-install-recommends "${missing[@]}" </dev/null
}


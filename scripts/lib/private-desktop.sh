# shellcheck shell=bash
# A private X server and session bus, so that what a script starts never reaches the user's
# desktop or session bus. Sourced by scripts/test.sh, scripts/run.sh and bench/cli_post_cost.sh.
# The start_* functions record what they started; stop_private_desktop ends it (call it from the
# script's EXIT trap).

private_xvfb_pid=""
private_dbus_pid=""

# A line on standard error, through the script's own `log` when it has one.
desktop_log() {
  if declare -F log >/dev/null; then log "$@"; else printf '%s\n' "$*" >&2; fi
}

# Whether a process (or, given -PGID, any member of a process group) is still running. A
# daemon that forked away is reaped by init, so it can linger as a zombie for a while.
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
stop_pid() {
  local target=$1 name=$2 i
  running "$target" || return 0
  kill -TERM -- "$target" 2>/dev/null || return 0
  for ((i = 0; i < 50; i++)); do
    running "$target" || return 0
    sleep 0.1
  done
  desktop_log "$name ($target) ignored SIGTERM, killing it"
  kill -KILL -- "$target" 2>/dev/null || true
}

# Starts Xvfb on a free display, its files in `folder`, and exports DISPLAY. With `cookie`, only
# clients with a fresh cookie may connect; it is kept in folder/Xauthority, exported as
# XAUTHORITY.
start_private_x() {
  local folder=$1 access=${2:-} display="" cookie=""
  local -a auth=()
  if [[ $access == cookie ]]; then
    cookie=$(mcookie) || return 1
    # The server takes every cookie of the file, whatever display it names; clients look theirs
    # up by the display, which is known only once the server runs.
    : >"$folder/Xauthority" && xauth -q -f "$folder/Xauthority" add "localhost/unix:65535" . "$cookie" || return 1
    auth=(-auth "$folder/Xauthority")
  fi
  # Xvfb writes its display number to the fd once it accepts connections; a FIFO lets us
  # block on that instead of polling. Without -noreset the server resets whenever its last
  # client disconnects, which drops keymap changes made by tests.
  mkfifo "$folder/displayfd" || return 1
  Xvfb -displayfd 3 "${auth[@]}" -nolisten tcp -noreset 3>"$folder/displayfd" </dev/null >"$folder/xvfb.log" 2>&1 &
  private_xvfb_pid=$!
  if ! read -r -t 60 display <"$folder/displayfd" || [[ ! $display =~ ^[0-9]+$ ]]; then
    cat "$folder/xvfb.log" >&2 || true
    desktop_log "error: Xvfb did not report a display number"
    return 1
  fi
  export DISPLAY=":$display"
  if [[ -n $cookie ]]; then
    xauth -q -f "$folder/Xauthority" add "$DISPLAY" . "$cookie" || return 1
    export XAUTHORITY="$folder/Xauthority"
  fi
}

# Starts a dbus-daemon listening on `socket`, its files in `folder`, and exports
# DBUS_SESSION_BUS_ADDRESS. It has no service folders, so nothing on it gets auto-activated:
# its clients see only the services they start themselves. The socket's path ends up unescaped
# in a D-Bus address and in XML, so it may hold no unusual characters.
start_private_bus() {
  local folder=$1 socket=$2 address=""
  if [[ ! $socket =~ ^[A-Za-z0-9_./-]+$ ]]; then
    desktop_log "error: the bus's path has unusual characters: $socket"
    return 1
  fi
  mkdir -p "$folder" || return 1
  cat >"$folder/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  if ! dbus-daemon --config-file="$folder/session.conf" --fork --print-address=1 --print-pid=1 \
    </dev/null >"$folder/info" 2>"$folder/log"; then
    cat "$folder/log" >&2 || true
    desktop_log "error: dbus-daemon failed to start"
    return 1
  fi
  if ! { read -r address && read -r private_dbus_pid; } <"$folder/info"; then
    desktop_log "error: dbus-daemon printed no address and pid"
    return 1
  fi
  if [[ ! $private_dbus_pid =~ ^[0-9]+$ || -z $address ]]; then
    desktop_log "error: unexpected dbus-daemon output: $(cat "$folder/info")"
    private_dbus_pid=""
    return 1
  fi
  export DBUS_SESSION_BUS_ADDRESS=$address
}

# Ends the bus and the X server started here, if they still run.
stop_private_desktop() {
  if [[ -n $private_dbus_pid ]]; then stop_pid "$private_dbus_pid" dbus-daemon; fi
  if [[ -n $private_xvfb_pid ]]; then
    stop_pid "$private_xvfb_pid" Xvfb
    wait "$private_xvfb_pid" 2>/dev/null || true
  fi
}

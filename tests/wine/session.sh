#!/usr/bin/env bash
# Starts and stops what the Windows tests of one build need: an Xvfb on a free display and the
# build's Wine prefix with its persistent wineserver (see wine-run.sh). The test run calls it as
# a fixture, so nothing is started by hand and nothing is left running afterwards. Everything is
# stopped by the process id recorded at its start, never by name: others share the machine.
#   session.sh start <build directory>
#   session.sh stop <build directory>
set -u

die() {
  echo "session.sh: $*" >&2
  exit 1
}

[ $# -eq 2 ] || die "usage: session.sh start|stop <build directory>"
action=$1
build_dir=$(cd "$2" && pwd -P) || die "no build directory $2"
state="$build_dir/wine"
here=$(cd "$(dirname "$0")" && pwd -P)
mkdir -p "$state"

alive() {
  [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null
}

# Waits up to $2 tenths of a second for process $1 to end.
wait_gone() {
  local i
  for ((i = 0; i < $2; i++)); do
    alive "$1" || return 0
    sleep 0.1
  done
  return 1
}

# close_extra_fds
source "$(dirname "${BASH_SOURCE[0]}")/detach.sh"

start_xvfb() {
  if [ -s "$state/display" ]; then
    local display pid
    read -r display pid <"$state/display"
    if alive "$pid"; then
      echo "Xvfb $display (process $pid) already runs for this build"
      return 0
    fi
  fi
  rm -f "$state/display" "$state/xvfb.number"
  # -displayfd lets Xvfb pick a free display itself and tell its number once it is ready.
  (close_extra_fds && exec setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    -noreset 3>"$state/xvfb.number" </dev/null >"$state/xvfb.log" 2>&1) &
  local pid=$! i
  for ((i = 0; i < 300; i++)); do
    [ -s "$state/xvfb.number" ] && break
    alive "$pid" || die "Xvfb did not start, see $state/xvfb.log"
    sleep 0.1
  done
  [ -s "$state/xvfb.number" ] || die "Xvfb gave no display number within 30 s"
  echo ":$(tr -dc 0-9 <"$state/xvfb.number") $pid" >"$state/display"
  echo "Xvfb started: $(cat "$state/display")"
}

stop_wineserver() {
  local pid=
  [ -s "$state/wineserver.pid" ] && pid=$(cat "$state/wineserver.pid")
  if [ -d "$state/prefix" ]; then
    # Ends the programs of this prefix and its server; other prefixes are not touched.
    WINEPREFIX="$state/prefix" timeout 60 wineserver -k >/dev/null 2>&1
  fi
  if alive "$pid" && ! wait_gone "$pid" 100; then
    kill "$pid" 2>/dev/null
    wait_gone "$pid" 50 || kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$state/wineserver.pid"
  # The English prefix's server, when a test started one.
  pid=
  [ -s "$state/wineserver-en.pid" ] && pid=$(cat "$state/wineserver-en.pid")
  if [ -d "$state/prefix-en" ]; then
    WINEPREFIX="$state/prefix-en" timeout 60 wineserver -k >/dev/null 2>&1
  fi
  if alive "$pid" && ! wait_gone "$pid" 100; then
    kill "$pid" 2>/dev/null
    wait_gone "$pid" 50 || kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$state/wineserver-en.pid"
}

stop_xvfb() {
  [ -s "$state/display" ] || return 0
  local display pid
  read -r display pid <"$state/display"
  if alive "$pid"; then
    kill "$pid"
    wait_gone "$pid" 50 || kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$state/display" "$state/xvfb.number"
}

case $action in
  start)
    start_xvfb
    VELMORA_BUILD_DIR="$build_dir" "$here/wine-run.sh" --prepare-only ||
      die "the Wine prefix could not be prepared"
    # Wine's service processes start with the first program and stay as long as the server;
    # started here, from a process without the test runner's pipes, they hold none of them.
    (close_extra_fds && VELMORA_BUILD_DIR="$build_dir" exec "$here/wine-run.sh" cmd.exe /c exit \
      </dev/null >"$state/services.log" 2>&1) ||
      die "no Windows program runs in the prefix, see $state/services.log"
    echo "Wine prefix ready: $state/prefix (wineserver $(cat "$state/wineserver.pid"))"
    ;;
  stop)
    stop_wineserver
    stop_xvfb
    echo "stopped"
    ;;
  *) die "unknown action $action" ;;
esac

#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix: code page 936 (Chinese locale),
# no debugger or installer windows, a persistent wineserver, and the X display of the test run.
# Usage: wine-run.sh program.exe [arguments...]   Exit code: the program's own.
#
# The build directory is $VELMORA_BUILD_DIR, or the nearest directory above the program (or
# above the current directory) that holds a CMakeCache.txt. Everything lives in <build>/wine:
#   prefix/     the Wine prefix (copied from a prepared template on first use, under a lock)
#   locale/     zh_CN.UTF-8 compiled for this build, so that Chinese arguments and file
#               names pass through Wine unmangled
#   display     the X display of the Xvfb started by the test run (tests/wine/xvfb-start.sh)
#   wineserver.pid   the persistent wineserver of the prefix
set -u

die() {
  echo "wine-run.sh: $*" >&2
  exit 125
}

[ $# -ge 1 ] || die "usage: wine-run.sh program.exe [arguments...]"

find_build_dir() {
  local dir
  for dir in "$@"; do
    dir=$(cd "$dir" 2>/dev/null && pwd -P) || continue
    while [ "$dir" != / ]; do
      if [ -f "$dir/CMakeCache.txt" ]; then
        echo "$dir"
        return 0
      fi
      dir=$(dirname "$dir")
    done
  done
  return 1
}

build_dir=${VELMORA_BUILD_DIR:-}
if [ -z "$build_dir" ]; then
  build_dir=$(find_build_dir "$(dirname "$1")" "$PWD") ||
    die "no build directory found above '$1' or '$PWD'; set VELMORA_BUILD_DIR"
fi
state="$build_dir/wine"
mkdir -p "$state" || die "cannot create $state"

# VELMORA_WINE_LANGUAGE=en: a prefix of its own with an English interface (ANSI code page 1252),
# prefix-en, with its own wineserver; otherwise the Chinese prefix.
language=zh
wine_locale=zh_CN.UTF-8
prefix_name=prefix
server_pid_file="$state/wineserver.pid"
if [ "${VELMORA_WINE_LANGUAGE:-zh}" = en ]; then
  language=en
  wine_locale=C.UTF-8
  prefix_name=prefix-en
  server_pid_file="$state/wineserver-en.pid"
fi
export WINEPREFIX="$state/$prefix_name"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Chinese locale is set only for Wine (at its start, below): this shell has no LOCPATH.
export LOCPATH="$state/locale"
unset LANGUAGE
# Never the user's desktop: the Xvfb of this test run, or no display at all (console programs
# run without one).
# VELMORA_WINE_DISPLAY names a display on purpose (the demo, shown to a person).
user_xauthority=${XAUTHORITY:-}
unset DISPLAY XAUTHORITY
if [ -n "${VELMORA_WINE_DISPLAY:-}" ]; then
  export DISPLAY="$VELMORA_WINE_DISPLAY"
  [ -n "$user_xauthority" ] && export XAUTHORITY="$user_xauthority"
elif [ -s "$state/display" ]; then
  read -r display xvfb_pid <"$state/display"
  if [ -n "${xvfb_pid:-}" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY="$display"
  fi
fi

# Creating a prefix takes minutes where Wine's 32-bit code runs under a CPU emulator (see
# tools/install-deps.sh), so one prepared prefix per Wine version is kept as a template in the
# user's cache and each build copies it: a copy is independent (its wineserver and registry are
# its own) and takes a second.
template_dir() {
  local version
  version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_')
  echo "${VELMORA_WINE_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/velmora/wine-template-${version:-unknown}}"
}

create_template() {
  local template=$1 log="$1.log" work="$1.new"
  rm -rf "$work"
  mkdir -p "$(dirname "$template")"
  # The lock's descriptor must not pass to Wine's processes: a wineserver outliving this
  # call would hold the lock.
  # Under an emulator the first boot may outlast Wine's own wait for it ("boot event wait
  # timed out"); it goes on in the background, so wait for the prefix's server to end before
  # the registry is changed, and check the result.
  {
    LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEPREFIX="$work" wineboot -i
    WINEPREFIX="$work" wineserver -w
    cat >"$work.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-
"Auto"="1"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-
"Auto"="1"
REG
    WINEPREFIX="$work" wine regedit /S "$(winepath_of "$work.reg")"
    WINEPREFIX="$work" wineserver -w
  } >"$log" 2>&1 8>&- 9>&-
  rm -f "$work.reg"
  grep -q '"Managed"="N"' "$work/user.reg" 2>/dev/null || die "creating the Wine prefix failed, see $log"
  mv "$work" "$template"
}

prepare_prefix() {
  if [ ! -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" >"$state/localedef.log" 2>&1 ||
      [ -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ] || die "localedef failed, see $state/localedef.log"
  fi
  [ -f "$WINEPREFIX/.velmora-ready" ] && return 0
  local template
  template=$(template_dir)
  (
    mkdir -p "$(dirname "$template")"
    exec 8>"$template.lock"
    flock 8
    [ -d "$template" ] || create_template "$template"
  ) || exit 125
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX.new" && mv "$WINEPREFIX.new" "$WINEPREFIX" ||
    die "cannot copy the Wine prefix template $template"
  touch "$WINEPREFIX/.velmora-ready"
}

# Z: maps the Linux root in every prefix.
winepath_of() {
  printf 'Z:%s' "${1//\//\\}"
}

# close_extra_fds
source "$(dirname "${BASH_SOURCE[0]}")/detach.sh"

# Whether the prefix's server listens: its socket lies in a directory named after the prefix's
# device and inode, below a per-user directory of the temporary directory.
server_listens() {
  local dev ino socket
  read -r dev ino < <(stat -c '%D %i' "$WINEPREFIX") || return 1
  for socket in "${TMPDIR:-/tmp}"/.wine-"$(id -u)"/server-"$dev"-"$(printf %x "$ino")"/socket \
    "${TMPDIR:-/tmp}"/wine-*/server-"$dev"-"$(printf %x "$ino")"/socket; do
    [ -S "$socket" ] && return 0
  done
  return 1
}

start_wineserver() {
  if [ -s "$server_pid_file" ] && kill -0 "$(cat "$server_pid_file")" 2>/dev/null; then
    return 0
  fi
  # -f keeps it in the foreground of this background job, so its process id is known and
  # the test run's clean-up can stop exactly this server.
  (close_extra_fds && exec setsid wineserver -f -p </dev/null >/dev/null 2>&1) &
  local pid=$! i
  echo "$pid" >"$server_pid_file"
  # Wait until it listens, or the program below would start a server of its own.
  for ((i = 0; i < 300; i++)); do
    server_listens && return 0
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
}

exec 9>"$state/lock${language/zh/}"
flock 9 || die "cannot lock $state/lock"
prepare_prefix
start_wineserver
exec 9>&-

if [ "${1:-}" = --prepare-only ]; then
  exit 0
fi
LANG=$wine_locale LC_ALL=$wine_locale exec wine "$@"

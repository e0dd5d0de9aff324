# Sourced by the Wine scripts. A process that outlives its starting script must hold none of
# the caller's descriptors: a test runner waits for the end of its output pipe, and every
# descriptor beyond stdin, stdout and stderr (the runner's own included) would pass on to the
# program started here.
close_extra_fds() {
  local fd
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-" 2>/dev/null
  done
  return 0
}

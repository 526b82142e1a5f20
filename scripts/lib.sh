# Shared by the shell scripts that run the show: sourced, not run.
#   start_xvfb FOLDER          a private Xvfb (800x600); sets xvfb_pid and display
#   wait_for_show DISPLAY PID SECONDS
#                              waits for the show's window (its title carries
#                              "frags="); false if PID ended or time ran out
#   sanitizer_env              the environment the sanitized builds run in, as
#                              VAR=VALUE words in the array sanitizer_vars
#   mesa_driver                Mesa's software driver, to preload (see below)

# Display numbers are drawn at random, not the lowest free one: a server that
# takes a number freed a moment ago is at times unreachable. -displayfd tells
# when the server is ready; -noreset keeps it from resetting (and refusing
# connections) each time its last client leaves.
start_xvfb() {
  local folder=$1 attempt number
  xvfb_pid=""
  display=""
  for attempt in 1 2 3 4 5 6 7 8; do
    number=$((100 + RANDOM % 800))
    : >"$folder/display"
    Xvfb ":$number" -displayfd 1 -screen 0 800x600x24 -nolisten tcp -noreset >"$folder/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
      grep -q . "$folder/display" 2>/dev/null && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ "$(head -n 1 "$folder/display" 2>/dev/null)" = "$number" ]; then
      display=":$number"
      return 0
    fi
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  return 1
}

wait_for_show() {
  local on=$1 pid=$2 seconds=$3
  for _ in $(seq $((seconds * 10))); do
    DISPLAY="$on" xdotool search --name 'frags=' >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Mesa unloads its driver before the leak checks run at exit, leaving the
# driver's own allocations with stacks nobody can name or suppress;
# preloading it keeps it mapped, so tests/lsan.supp and tests/valgrind.supp
# can tell it apart.
mesa_driver="$(find /usr/lib -name swrast_dri.so -print -quit 2>/dev/null || true)"

sanitizer_env() {
  local root
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  sanitizer_vars=(
    LD_PRELOAD="$mesa_driver"
    ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0
    LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  )
}

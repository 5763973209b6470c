#!/usr/bin/env bash
# Shared helpers for the end-to-end tests: a private Xvfb, the program under
# test, input through xdotool and probes through zt_xprobe.
# Usage in a test: source lib.sh "$@"  (arguments: program path, zt_xprobe dir)

set -u

ZT_BIN=${1:?program path}
ZT_PROBE="${2:?zt_xprobe folder}/zt_xprobe"
ZT_WINDOW_NAME=${ZT_WINDOW_NAME:-Zolven Taris}

# copy_program DIR: the program in DIR (its music folder), with the SDL
# module it loads from beside it.
copy_program() {
  mkdir -p "$1" && cp "$ZT_BIN" "$1/zolven-taris" || return 1
  local module
  module="$(dirname "$ZT_BIN")/zolven-taris-sdl.so"
  if [ -e "$module" ]; then cp "$module" "$1/"; fi
}
E2E_FAILED=0
E2E_PIDS=()
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zt-e2e.XXXXXX")
# The instance lock goes into a folder of this test alone.
export XDG_RUNTIME_DIR="$E2E_TMP/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER=dummy

e2e_cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do
    kill -TERM "$pid" 2>/dev/null
  done
  sleep 0.2
  for pid in "${E2E_PIDS[@]}"; do
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  E2E_PIDS=()
  rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM HUP

log() { echo "[e2e] $*" >&2; }

# Records a failed check and carries on, so one run shows every failure.
fail() {
  log "FAIL: $*"
  E2E_FAILED=1
}
pass() { log "ok: $*"; }

check_eq() {  # check_eq WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then pass "$1 ($3)"; else fail "$1: expected '$2', got '$3'"; fi
}

need() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "$tool" ]; then
      log "SKIP: $tool is not available"
      exit 77
    fi
  done
}

# start_xvfb WIDTHxHEIGHTxDEPTH [XVFB_ARGS...]: a server of this test's own,
# on a number the server picks itself and writes to -displayfd once it
# accepts clients. Guessing a free number from /tmp/.X*-lock is not enough:
# servers of other containers answer on their numbers through abstract
# sockets while their files are out of sight.
E2E_XVFB_COUNT=0
start_xvfb() {
  local screen=${1:-1024x768x24} n tries
  shift $(($# > 0 ? 1 : 0))
  need Xvfb xdotool "$ZT_PROBE"
  E2E_XVFB_COUNT=$((E2E_XVFB_COUNT + 1))
  local number="$E2E_TMP/xvfb-$E2E_XVFB_COUNT.display"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -dpi 96 -noreset "$@" \
    3>"$number" >"$E2E_TMP/xvfb.log" 2>&1 &
  local pid=$!
  E2E_PIDS+=("$pid")
  for tries in $(seq 1 200); do
    # The number counts once its line is complete.
    if read -r n <"$number" && [[ $n =~ ^[0-9]+$ ]]; then
      export DISPLAY=":$n"
      log "Xvfb on $DISPLAY ($screen)"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  log "cannot start Xvfb: $(tail -n 3 "$E2E_TMP/xvfb.log")"
  exit 1
}

# start_program [args...]: runs the program in the background; sets ZT_PID.
start_program() {
  "$ZT_BIN" "$@" >"$E2E_TMP/out.log" 2>"$E2E_TMP/err.log" &
  ZT_PID=$!
  E2E_PIDS+=("$ZT_PID")
}

# wait_window [TIMEOUT_MS]: true once the program's window is mapped.
wait_window() {
  "$ZT_PROBE" wait-window "$ZT_WINDOW_NAME" "${1:-10000}"
}

window_count() { "$ZT_PROBE" windows "$ZT_WINDOW_NAME"; }

# wait_exit PID TIMEOUT_S: sets EXIT_STATUS to the exit status, or to
# "running" on timeout. Not in a subshell: only this shell can reap its child.
wait_exit() {
  local pid=$1 timeout=${2:-10} i
  EXIT_STATUS=running
  for i in $(seq 1 $((timeout * 20))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" 2>/dev/null
      EXIT_STATUS=$?
      return 0
    fi
    sleep 0.05
  done
}

is_running() { kill -0 "$1" 2>/dev/null; }

click() {  # click X Y [BUTTON]
  xdotool mousemove "$1" "$2" click "${3:-1}"
}
key() { xdotool key "$@"; }
pointer() { "$ZT_PROBE" pointer; }
pixel() { "$ZT_PROBE" pixel "$1" "$2"; }

# The last lines the program wrote, for a failure report.
program_stderr() { tail -n 20 "$E2E_TMP/err.log" 2>/dev/null; }

finish() {
  if [ "$E2E_FAILED" -ne 0 ]; then
    log "program stderr:"; program_stderr >&2
    exit 1
  fi
  log "all checks passed"
  exit 0
}

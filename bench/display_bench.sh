#!/usr/bin/env bash
# What the program costs on a real X display, next to an XScreenSaver hack on
# the same server: CPU per second of wall time, peak memory, the time from a
# click to the process being gone, the time to the first picture, and the
# headless figure rate. Prints figures; it does not pass or fail.
#
# Usage: bench/display_bench.sh [--build DIR] [--cpu-seconds N] [--trials N]
#                               [--starts N] [--soak SECONDS] [--only LIST]
#   --build DIR        build tree with src/zolven-taris and tests/zt_xprobe
#                      (default: build/perf, a Release build)
#   --cpu-seconds N    length of each CPU window (default 60)
#   --trials N         click-to-exit trials (default 20)
#   --song-trials N    click-to-exit trials with a MIDI song playing (default 10)
#   --starts N         start-up trials (default 5)
#   --soak SECONDS     also run the program that long, sampling VmRSS every 10 s
#   --seed S           the figures of the CPU window (default 7)
#   --only LIST        comma-separated subset of cpu,memory,latency,start,headless,soak
#   --reference BIN    another build of the program (an older commit, say):
#                      its headless runs alternate with this binary's, and
#                      the ratio of the two is printed. Machines here differ
#                      by a factor of three in speed; a ratio of runs taken
#                      side by side carries over from one to the next.
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/perf"
cpu_seconds=60
trials=20
song_trials=10
starts=5
soak=0
only="cpu,memory,latency,start,headless"
hack=/usr/libexec/xscreensaver/xspirograph  # Debian: xscreensaver-data-extra
seed=7
reference=""
screen_w=1920
screen_h=1080

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --cpu-seconds) cpu_seconds=$2; shift 2 ;;
    --trials) trials=$2; shift 2 ;;
    --song-trials) song_trials=$2; shift 2 ;;
    --starts) starts=$2; shift 2 ;;
    --soak) soak=$2; only="$only,soak"; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --reference) reference=$2; shift 2 ;;
    -h|--help) sed -n '2,24p' "$0"; exit 0 ;;
    *) echo "display_bench: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
wants() { case ",$only," in *",$1,"*) return 0 ;; *) return 1 ;; esac; }

bin="$build/src/zolven-taris"
probe_dir="$build/tests"
for f in "$bin" "$probe_dir/zt_xprobe" ${reference:+"$reference"}; do
  [ -x "$f" ] || { echo "display_bench: $f is missing (build the Release tree first)" >&2; exit 2; }
done

# The e2e harness gives a private Xvfb, the instance lock in a folder of our
# own, SDL_AUDIODRIVER=dummy and a cleanup trap for every process started.
# shellcheck source=../tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh" "$bin" "$probe_dir"
need xdotool Xvfb
export SDL_AUDIODRIVER=dummy
ZT_WINDOW_NAME="Zolven Taris"
tck=$(getconf CLK_TCK)
# Clicks and start-up are timed by a small X client, so neither the shell's
# forks nor xdotool's own start-up (often 100 ms here) count.
tool="$E2E_TMP/xbench_tool"
if ! cc -O2 -o "$tool" "$root/bench/xbench_tool.c" -lX11 -lXtst 2>"$E2E_TMP/cc.log"; then
  log "cannot build xbench_tool (libx11-dev, libxtst-dev): $(head -n 3 "$E2E_TMP/cc.log")"
  exit 2
fi
page_kb=$(($(getconf PAGESIZE) / 1024))

now_us() { local t=${EPOCHREALTIME/./}; echo "$t"; }  # microseconds, no fork

# CPU time of a process in nanoseconds, all its threads: the scheduler's own
# account, where ticks of 10 ms would leave a third of a 40 s figure of 0.4 %
# to chance. Ticks (user + system) where the kernel keeps no such account.
cpu_ns() {
  local sum=0 task run stat rest
  for task in /proc/"$1"/task/*/schedstat; do
    read -r run _ <"$task" 2>/dev/null || continue
    sum=$((sum + run))
  done
  if [ "$sum" -gt 0 ]; then echo "$sum"; return; fi
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  rest=${stat##*) }
  # shellcheck disable=SC2086
  set -- $rest
  echo $(((${12} + ${13}) * 1000000000 / tck))
}
status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status" 2>/dev/null; }

pct() { awk -v t="$1" -v s="$2" 'BEGIN { printf "%.3f", 100 * t / 1e9 / s }'; }

# stop_pid PID: ends a process we started and reaps it.
stop_pid() {
  kill -TERM "$1" 2>/dev/null
  local i
  for i in $(seq 1 40); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# percentile P VALUES...: nearest-rank percentile of the numbers given.
percentile() {
  local p=$1
  shift
  printf '%s\n' "$@" | sort -n | awk -v p="$p" '{ v[NR] = $1 }
    END { if (NR == 0) { print "n/a"; exit } r = int((p * NR + 99) / 100); if (r < 1) r = 1;
          printf "%.1f", v[r] }'
}

start_xvfb "${screen_w}x${screen_h}x24"
xvfb_pid=${E2E_PIDS[0]}
log "Xvfb pid $xvfb_pid on $DISPLAY"

results=()
row() { results+=("$(printf '%-50s %-22s %s' "$1" "$2" "$3")"); }

# measure_cpu PID SECONDS: sets CPU_SELF and CPU_X (percent of one core).
measure_cpu() {
  local pid=$1 secs=$2 a0 x0 a1 x1 t0 t1 wall
  a0=$(cpu_ns "$pid"); x0=$(cpu_ns "$xvfb_pid"); t0=$(now_us)
  sleep "$secs"
  a1=$(cpu_ns "$pid"); x1=$(cpu_ns "$xvfb_pid"); t1=$(now_us)
  wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e6 }')
  CPU_SELF=$(pct $((a1 - a0)) "$wall")
  CPU_X=$(pct $((x1 - x0)) "$wall")
}

if wants cpu; then
  log "--- CPU: the program, ${cpu_seconds} s of figures after the title card"
  xdotool mousemove $((screen_w - 1)) $((screen_h - 1))
  # A fixed seed, so runs before and after a change draw the same figures:
  # the pause between spokes, and with it the cost, differs from figure to
  # figure.
  start_program --seed "$seed"
  zt_pid=$ZT_PID
  sleep 4
  if is_running "$zt_pid"; then
    measure_cpu "$zt_pid" "$cpu_seconds"
    zt_cpu=$CPU_SELF
    zt_xcpu=$CPU_X
    hwm=$(status_kb "$zt_pid" VmHWM)
    rss=$(status_kb "$zt_pid" VmRSS)
    stop_pid "$zt_pid"
    log "program: ${zt_cpu} %, X server ${zt_xcpu} %, VmHWM ${hwm} kB"

    hack_cpu=n/a hack_xcpu=n/a ratio=n/a
    if [ -x "$hack" ]; then
      log "--- CPU: $(basename "$hack") -root, the same ${cpu_seconds} s"
      "$hack" -root >"$E2E_TMP/hack.log" 2>&1 &
      hack_pid=$!
      E2E_PIDS+=("$hack_pid")
      sleep 4
      if kill -0 "$hack_pid" 2>/dev/null; then
        measure_cpu "$hack_pid" "$cpu_seconds"
        hack_cpu=$CPU_SELF
        hack_xcpu=$CPU_X
        ratio=$(awk -v a="$zt_cpu" -v b="$hack_cpu" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }')
        ratio_all=$(awk -v a="$zt_cpu" -v ax="$zt_xcpu" -v b="$hack_cpu" -v bx="$hack_xcpu" \
          'BEGIN { if (b + bx > 0) printf "%.2f", (a + ax) / (b + bx); else print "n/a" }')
      fi
      stop_pid "$hack_pid"
    else
      log "no $hack: install xscreensaver-data"
    fi
    row "CPU, program (% of a core)" "$zt_cpu" "target <= half the hack; --seed $seed"
    row "CPU, X server while the program draws" "$zt_xcpu" ""
    row "CPU, $(basename "$hack") (% of a core)" "$hack_cpu" "measured before: 0.6"
    row "CPU, X server while the hack draws" "$hack_xcpu" "measured before: 1.2"
    row "CPU ratio program / hack" "$ratio" "target <= 0.50"
    row "CPU ratio incl. X server" "${ratio_all:-n/a}" "target <= 0.25"
    row "Peak memory VmHWM (MB)" "$(awk -v k="$hwm" 'BEGIN { printf "%.1f", k / 1024 }')" \
      "target <= 12 (30 with a MIDI song)"
    row "VmRSS at the end (MB)" "$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')" ""
  else
    row "CPU" "program ended early" "$(program_stderr | tail -n 1)"
  fi
fi

# peak_after SECONDS ARGS...: VmHWM in MB of the program started with ARGS,
# read after SECONDS.
peak_after() {
  local secs=$1 hwm
  shift
  start_program "$@"
  sleep "$secs"
  hwm=$(status_kb "$ZT_PID" VmHWM)
  stop_pid "$ZT_PID"
  awk -v k="${hwm:-0}" 'BEGIN { printf "%.1f", k / 1024 }'
}

# music_program: prints the path of a copy of the program in a folder of
# its own that holds a song, one note looped; made once.
music_program() {
  local dir="$E2E_TMP/music-app"
  if [ ! -e "$dir/zt-bgm.mid" ]; then
    mkdir -p "$dir" && cp "$bin" "$dir/" &&
      cp "$(dirname "$bin")/zolven-taris-sdl.so" "$dir/" 2>/dev/null
    printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x0c\x00\x90\x3c\x40\x60\x80\x3c\x40\x00\xff\x2f\x00' \
      >"$dir/zt-bgm.mid"
  fi
  echo "$dir/zolven-taris"
}

if wants memory; then
  log "--- memory: as a hack on the root window, and with a MIDI song"
  row "Peak memory as a hack (--root), 20 s (MB)" "$(peak_after 20 --root --seed "$seed")" \
    "target <= 12"
  saved_bin=$ZT_BIN
  ZT_BIN=$(music_program)
  row "Peak memory with a MIDI song, 20 s (MB)" "$(peak_after 20 --seed "$seed")" "target <= 30"
  ZT_BIN=$saved_bin
fi

# The screen is still when no spoke has been drawn for a while: the pause
# after a figure. Hashes a band across the middle of the screen.
screen_hash() { "$ZT_PROBE" hash 0 $((screen_h / 4)) "$screen_w" $((screen_h * 3 / 4)) 2>/dev/null; }
wait_still() {  # wait_still PID STILL_MS TIMEOUT_S: true once the picture has not changed for STILL_MS
  local pid=$1 still_us=$(($2 * 1000)) deadline since last h t
  deadline=$(($(now_us) + $3 * 1000000))
  last=$(screen_hash); since=$(now_us)
  while is_running "$pid"; do
    t=$(now_us)
    [ "$t" -gt "$deadline" ] && return 1
    h=$(screen_hash)
    if [ "$h" != "$last" ]; then
      last=$h; since=$t
    elif [ $((t - since)) -ge "$still_us" ]; then
      return 0
    fi
    sleep 0.02
  done
  return 1
}

# click_trial N PHASE DELAY: starts the program, clicks DELAY seconds after
# its window appears (in the pause after a figure for PHASE pause) and sets
# TRIAL_MS to the time until the process is gone; empty when the trial
# failed. With SONG set the song's sound device must be open by then.
click_trial() {
  local i=$1 phase=$2 delay=$3 pid ms status
  TRIAL_MS=
  xdotool mousemove $((screen_w / 2 + i)) $((screen_h / 2))
  start_program
  pid=$ZT_PID
  if ! wait_window 10000; then stop_pid "$pid"; return; fi
  sleep "$delay"
  if [ "$phase" = pause ] && ! wait_still "$pid" 250 60; then
    log "trial $i: no pause seen"; stop_pid "$pid"; return
  fi
  # SDL's audio thread runs while the song's device is open.
  if [ -n "${SONG:-}" ] && ! grep -qs '^SDLAudio' "/proc/$pid/task/"*/comm; then
    log "trial $i ($phase): no sound device open"; stop_pid "$pid"; return
  fi
  ms=$("$tool" click "$pid" 5000)
  if [ "$ms" = timeout ]; then
    log "trial $i ($phase): still running 5 s after the click"; stop_pid "$pid"; return
  fi
  wait "$pid" 2>/dev/null
  status=$?
  if [ "$status" -ne 0 ]; then
    log "trial $i ($phase): status $status after $ms ms"; return
  fi
  log "trial $i ($phase${SONG:+, song}, after ${delay} s): $ms ms"
  TRIAL_MS=$ms
}

spokes_delay() { awk -v r=$RANDOM 'BEGIN { printf "%.2f", 3.6 + 12 * r / 32767 }'; }

if wants latency; then
  log "--- click to exit, $trials trials"
  lat_all=() lat_title=() lat_spokes=() lat_pause=()
  misses=0
  for i in $(seq 1 "$trials"); do
    case $((i % 5)) in
      1|4) phase=title; delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", 0.3 + 2.4 * r / 32767 }') ;;
      0) phase=pause; delay=4 ;;
      *) phase=spokes; delay=$(spokes_delay) ;;
    esac
    click_trial "$i" "$phase" "$delay"
    if [ -z "$TRIAL_MS" ]; then misses=$((misses + 1)); continue; fi
    lat_all+=("$TRIAL_MS")
    case $phase in
      title) lat_title+=("$TRIAL_MS") ;; spokes) lat_spokes+=("$TRIAL_MS") ;; pause) lat_pause+=("$TRIAL_MS") ;;
    esac
  done
  row "Click to exit p50 / p95 / max (ms)" \
    "$(percentile 50 "${lat_all[@]}") / $(percentile 95 "${lat_all[@]}") / $(percentile 100 "${lat_all[@]}")" \
    "target p95 <= 30; n=${#lat_all[@]}, failed $misses"
  row "  during the title card, max (ms)" "$(percentile 100 "${lat_title[@]}")" "n=${#lat_title[@]}"
  row "  during spokes, max (ms)" "$(percentile 100 "${lat_spokes[@]}")" "n=${#lat_spokes[@]}"
  row "  during the pause after a figure, max (ms)" "$(percentile 100 "${lat_pause[@]}")" "n=${#lat_pause[@]}"

  log "--- click to exit with a MIDI song playing, $song_trials trials during spokes"
  lat_song=()
  misses=0
  saved_bin=$ZT_BIN
  ZT_BIN=$(music_program)
  SONG=1
  for i in $(seq 1 "$song_trials"); do
    click_trial "$i" spokes "$(spokes_delay)"
    if [ -z "$TRIAL_MS" ]; then misses=$((misses + 1)); continue; fi
    lat_song+=("$TRIAL_MS")
  done
  SONG=
  ZT_BIN=$saved_bin
  row "Click to exit, MIDI song playing, p50/p95/max (ms)" \
    "$(percentile 50 "${lat_song[@]}") / $(percentile 95 "${lat_song[@]}") / $(percentile 100 "${lat_song[@]}")" \
    "target p95 <= 30; n=${#lat_song[@]}, failed $misses"
fi

if wants start; then
  log "--- start to first picture, $starts trials"
  # The first frame is black: its time is that of the window becoming
  # viewable. Blue at the left edge is the backdrop.
  first=() backdrop=()
  for i in $(seq 1 "$starts"); do
    xdotool mousemove $((screen_w - 1)) $((screen_h - 1))
    sleep 0.5
    read -r w b < <("$tool" start 10000 "$ZT_WINDOW_NAME" "$bin")
    [ "${w:--}" != - ] && first+=("$w")
    [ "${b:--}" != - ] && backdrop+=("$b")
    log "start $i: window ${w:--} ms, backdrop ${b:--} ms"
  done
  row "Start to the first frame on screen p50 / max (ms)" \
    "$(percentile 50 "${first[@]}") / $(percentile 100 "${first[@]}")" "target <= 50; n=${#first[@]}"
  row "Start to the backdrop on screen p50 / max (ms)" \
    "$(percentile 50 "${backdrop[@]}") / $(percentile 100 "${backdrop[@]}")" "n=${#backdrop[@]}"
fi

if wants headless; then
  log "--- headless, 200 figures at ${screen_w}x${screen_h}, PNG writing off"
  rates=()
  cpu_rates=()
  # The CPU time too (user + system, the shell's own count of the child):
  # on a shared machine it moves less than the wall time does.
  TIMEFORMAT='%3U %3S'
  for r in 1 2 3; do
    out="$E2E_TMP/render-$r"
    t0=$(now_us)
    if ! { time timeout 300 "$bin" --render "$out" --figures 200 --size "${screen_w}x${screen_h}" \
      --seed "$r" --no-images >/dev/null 2>"$E2E_TMP/render.err"; } 2>"$E2E_TMP/render.cpu"; then
      log "render failed: $(tail -n 1 "$E2E_TMP/render.err")"; continue
    fi
    t1=$(now_us)
    rates+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", 200 / ((b - a) / 1e6) }')")
    cpu_rates+=("$(awk '{ s = $1 + $2; if (s > 0) printf "%.1f", 200 / s; else print "n/a" }' \
      "$E2E_TMP/render.cpu")")
    log "seed $r: ${rates[-1]} figures/s, ${cpu_rates[-1]} per CPU second"
    rm -rf "$out"
  done
  unset TIMEFORMAT
  row "Headless figures per second, median (3 seeds)" "$(percentile 50 "${rates[@]}")" \
    "target >= 1000; runs: ${rates[*]:-none}"
  row "Headless figures per CPU second, median" "$(percentile 50 "${cpu_rates[@]}")" \
    "runs: ${cpu_rates[*]:-none}"
  # The same without the start-up: 200 figures less one, over the time a
  # one-figure run does not account for.
  ones=()
  for r in 1 2 3; do
    t0=$(now_us)
    timeout 60 "$bin" --render "$E2E_TMP/render-one" --figures 1 --size "${screen_w}x${screen_h}" \
      --seed "$r" --no-images >/dev/null 2>&1 && ones+=("$(( $(now_us) - t0 ))")
  done
  one_us=$(percentile 50 "${ones[@]}")
  if [ "$one_us" != n/a ] && [ ${#rates[@]} -gt 0 ]; then
    all_us=$(awk -v r="$(percentile 50 "${rates[@]}")" 'BEGIN { printf "%.0f", 200 / r * 1e6 }')
    row "Headless start-up, one figure (ms)" "$(awk -v u="$one_us" 'BEGIN { printf "%.0f", u / 1000 }')" ""
    row "Headless figures per second after start-up" \
      "$(awk -v a="$all_us" -v o="$one_us" 'BEGIN { if (a > o) printf "%.0f", 199 / ((a - o) / 1e6); else print "n/a" }')" ""
  fi
  # With the images written: each is a PNG of the whole window.
  t0=$(now_us)
  if timeout 300 "$bin" --render "$E2E_TMP/render-png" --figures 20 --size "${screen_w}x${screen_h}" \
    --seed 1 >/dev/null 2>&1; then
    row "Headless figures per second, PNG writing on" \
      "$(awk -v a="$t0" -v b="$(now_us)" 'BEGIN { printf "%.1f", 20 / ((b - a) / 1e6) }')" "target >= 40; 20 figures, the first and last included"
  fi
  rm -rf "$E2E_TMP/render-png"
  if [ -n "$reference" ]; then
    log "--- headless, this binary and the reference in turn"
    # render_seconds BIN ARGS...: wall seconds of one render run, or empty.
    render_seconds() {
      local b=$1 t0
      shift
      rm -rf "$E2E_TMP/render-ref"
      t0=$(now_us)
      timeout 300 "$b" --render "$E2E_TMP/render-ref" --size "${screen_w}x${screen_h}" "$@" \
        >/dev/null 2>&1 || return 0
      awk -v a="$t0" -v b="$(now_us)" 'BEGIN { printf "%.6f", (b - a) / 1e6 }'
    }
    # ratio FIGURES ARGS...: the reference's total time over this binary's,
    # three rounds of seeds 1-3 taken in turn, and the reference's rate.
    ratio() {
      local figures=$1 mine=0 theirs=0 r s a b
      shift
      for r in 1 2 3; do
        for s in 1 2 3; do
          a=$(render_seconds "$reference" --figures "$figures" --seed "$s" "$@")
          b=$(render_seconds "$bin" --figures "$figures" --seed "$s" "$@")
          [ -n "$a" ] && [ -n "$b" ] || { echo n/a n/a; return; }
          theirs=$(awk -v t="$theirs" -v a="$a" 'BEGIN { print t + a }')
          mine=$(awk -v t="$mine" -v b="$b" 'BEGIN { print t + b }')
        done
      done
      awk -v t="$theirs" -v m="$mine" -v f="$figures" \
        'BEGIN { printf "%.2f %.1f\n", t / m, 9 * f / t }'
    }
    read -r speedup ref_rate < <(ratio 200 --no-images)
    row "Headless speed-up over the reference" "$speedup" \
      "reference $ref_rate figures/s; 200 figures, 9 runs each in turn"
    read -r speedup ref_rate < <(ratio 20)
    row "Headless speed-up over the reference, PNG on" "$speedup" \
      "reference $ref_rate figures/s; 20 figures, 9 runs each in turn"
    rm -rf "$E2E_TMP/render-ref"
  fi
fi

if wants soak && [ "$soak" -gt 0 ]; then
  log "--- soak, ${soak} s under Xvfb, VmRSS every 10 s"
  xdotool mousemove $((screen_w - 1)) $((screen_h - 1))
  start_program
  pid=$ZT_PID
  samples=()
  for t in $(seq 0 10 "$soak"); do
    [ "$t" -gt 0 ] && sleep 10
    is_running "$pid" || break
    samples+=("$(status_kb "$pid" VmRSS)")
  done
  hwm=$(status_kb "$pid" VmHWM)
  stop_pid "$pid"
  if [ ${#samples[@]} -ge 2 ]; then
    # Growth after the first minute, when the first backdrops and fonts are in.
    warm=$((${#samples[@]} > 7 ? 6 : 1))
    row "Soak: VmRSS first / after 1 min / last (kB)" \
      "${samples[0]} / ${samples[$warm]} / ${samples[-1]}" "${#samples[@]} samples over ${soak} s"
    row "Soak: VmRSS growth after 1 min (kB)" "$((samples[-1] - samples[warm]))" \
      "max $(printf '%s\n' "${samples[@]}" | sort -n | tail -n 1) kB, VmHWM $hwm kB"
    echo "soak samples (kB, every 10 s): ${samples[*]}" >&2
  else
    row "Soak" "program ended early" ""
  fi
fi

echo
echo "Zolven Taris display bench, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, Xvfb ${screen_w}x${screen_h}x24"
echo "binary: $bin"
[ -n "$reference" ] && echo "reference: $reference"
echo "load average at the end (other work on the machine skews every figure): $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-50s %-22s %s\n' "measure" "value" "note"
printf '%s\n' "${results[@]}"

#!/usr/bin/env bash
# --render on a terminal: one line redrawn in place and one summary; on a
# pipe or a file, nothing extra.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
need script

typescript="$E2E_TMP/typescript"
script -qec "'$ZT_BIN' --render '$E2E_TMP/tty' --figures 5 --size 320x200 --seed 1" "$typescript" \
  >/dev/null
check_eq "rendered under a terminal" 0 $?
# Each redraw starts with a carriage return and ends by clearing the rest.
shown=$(tr '\r' '\n' <"$typescript")
grep -q '^figure 5 of 5, [0-9.]* figures/s, [0-9.]* s left' <<<"$shown" &&
  pass "the progress line counts to 5 of 5" || fail "no progress line: $(cat -v "$typescript")"
grep -q '5 figures in [0-9.]* s ([0-9.]* figures/s) written into' <<<"$shown" &&
  pass "one summary line" || fail "no summary: $(cat -v "$typescript")"
check_eq "line breaks: the summary only" 1 "$(grep -c 'figures in' <<<"$shown")"

"$ZT_BIN" --render "$E2E_TMP/pipe" --figures 5 --size 320x200 --seed 1 2>"$E2E_TMP/err" | cat
check_eq "nothing on stderr off a terminal" 0 "$(wc -c <"$E2E_TMP/err")"
cmp -s "$E2E_TMP/tty/figures.jsonl" "$E2E_TMP/pipe/figures.jsonl" &&
  pass "the same figures either way" || fail "the figures differ with a terminal"
finish

#!/usr/bin/env bash
# Start-up to the first painted window of several programs (trivexa_app_bench,
# trivexa_bare_window_bench, or either as built from another commit), run in
# turn, A B A B ..., so that all share the machine's ups and downs; RUNS times
# each (21 unless -n says otherwise). Prints each one's median, fastest and
# slowest, in ms. The machine's load moves all of them: compare only figures
# of one series.
#   compare_startup.sh [-n RUNS] PROGRAM...
set -euo pipefail
runs=21
if [ "${1:-}" = -n ]; then
  runs=$2
  shift 2
fi
here=$(dirname "$0")
declare -A times
for ((i = 0; i < runs; i++)); do
  for program in "$@"; do
    ms=$("$here/measure_app.sh" "$program" 1 | awk '$1 == "startup_to_first_paint_ms" {print $2}')
    times[$program]+="$ms "
  done
done
for program in "$@"; do
  # shellcheck disable=SC2086
  printf '%s\n' ${times[$program]} | sort -n | awk -v name="$program" \
    '{ v[NR] = $1 } END { printf "%s: median %.1f ms (%.1f to %.1f, %d runs)\n",
                          name, v[int((NR + 1) / 2)], v[1], v[NR], NR }'
done

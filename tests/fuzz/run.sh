#!/usr/bin/env bash
# One bounded fuzz run, as CTest starts it:
#   run.sh <fuzzer> <seed folder> <work folder> <seconds> <max input length>
# The fuzzer starts from the seeds kept in the repository, with a fresh
# corpus of its own in the work folder, and tries inputs of any length up to
# the maximum from the start. Prints one line: executions, their rate and the
# coverage reached. On a finding, prints the end of the log and where the
# input that caused it lies; that input belongs in the seed folder once the
# fault is fixed.
set -uo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4 max_len=$5
name=$(basename "$fuzzer")
rm -rf "$work"
mkdir -p "$work/corpus"
"$fuzzer" "$work/corpus" "$seeds" -max_total_time="$seconds" -max_len="$max_len" -len_control=0 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" >"$work/log" 2>&1
status=$?

stat() { sed -n "s/^stat::$1: *//p" "$work/log" | tail -n1; }
coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$work/log" | tail -n1)
read -r _ edges _ features _ inputs <<<"${coverage:-cov: ? ft: ? corp: ?}"
summary="$name: $(stat number_of_executed_units) executions in $seconds s"
summary+=" ($(stat average_exec_per_sec)/s), coverage $edges edges, $features features,"
summary+=" corpus $inputs inputs"
if ((status != 0)); then
  tail -n 40 "$work/log"
  summary+=" -- FAILED (exit $status): the input is in $work/ (crash-*, leak-*, oom-*, timeout-*)"
fi
# Also kept for the test command, which prints every run's line.
echo "$summary" | tee "$work/summary"
exit "$status"

#!/usr/bin/env bash
# The recipes of contrib/ for real: a single-node Slurm cluster on this machine (started and
# stopped here; run as root, with slurm-wlm, munge, jq and snakemake installed) runs
# skarvel-submit over a few hundred generated inputs, some failing and some warning; its outputs
# and merged report must be those of one local `skarvel --files-from` run, its summary and exit
# status must tell the failures, and a resubmission after some outputs are deleted must run only
# the inputs not done. Then the Snakemake workflow on the same folder must give the same files.
#   tests/contrib/cluster_test.sh [BUILD_DIR]      (default build/release)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/release}")
export SKARVEL=$build/src/skarvel
source "$repo/tests/contrib/local_slurm.sh"
work=$(mktemp -d /tmp/skarvel-cluster.XXXXXX)
trap 'stop_local_slurm; rm -rf "$work"' EXIT
fail() {
  echo "cluster test failed: $*" >&2
  exit 1
}

# The inputs: 297 generated series (1 year hourly, 3 columns), one warning (status 4), one whose
# outputs an earlier input writes, one without data (status 1), one corrupt (status 2), one missing.
mkdir -p "$work/local/runs"
for i in $(seq -w 1 297); do
  "$build/bench/skarvel_generate" "$work/local/runs/gen-$i.dat" 1 3 "$i"
done
printf 'h\n2001 1 1 24 1\n2001 1 2 24 NA\n' >"$work/local/runs/warn.dat"
gzip -c -n "$work/local/runs/gen-001.dat" >"$work/local/runs/gen-001.dat.gz"
printf 'h\n' >"$work/local/runs/empty.dat"
printf '\037\213\010\000garbage' >"$work/local/runs/corrupt.dat"
(cd "$work/local" && ls runs/*.dat && echo runs/missing.dat && echo runs/gen-001.dat.gz) >"$work/list"
cp -r "$work/local" "$work/slurm"
cp -r "$work/local" "$work/snake"
cp "$work/list" "$work/slurm/list.txt"
(cd "$work/local" && "$SKARVEL" --quiet --files-from=../list --report=../local.jsonl >/dev/null 2>&1) || true

start_local_slurm "$work/cluster" || exit 1
without_seconds() { jq -c 'del(.seconds)' "$@"; }
# submit: skarvel-submit in the Slurm folder, then waits up to 120 s for its jobs.
submit() {
  (cd "$work/slurm" && "$repo/contrib/slurm/skarvel-submit" --shard-size=40 list.txt)
  local jobs i
  jobs=$(ls -d "$work"/slurm/skarvel-run/round-* | tail -n 1)/jobs
  for ((i = 0; i < 240; i++)); do
    squeue -h -j "$(paste -sd, "$jobs")" | grep -q . || return 0
    sleep 0.5
  done
  fail "the jobs of $jobs did not end within 120 s: $(squeue)"
}
# check: the Slurm folder's files and merged report are the local run's.
check() {
  diff -r "$work/local/runs" "$work/slurm/runs" || fail "the outputs differ from the local run's"
  cmp <(without_seconds "$work/local.jsonl") \
    <(without_seconds "$work/slurm/skarvel-run/ensemble-report.jsonl") ||
    fail "the merged report is not the local run's"
}

submit
check
run=$work/slurm/skarvel-run
grep -qx 'ExitCode=1:0' < <(scontrol show job "$(tail -n 1 "$run/round-001/jobs")" | tr ' ' '\n') ||
  fail "the merge job did not end with status 1"
[[ $(sed -n '1,4p' "$run/summary.txt") == $'inputs      302\ndone        298 (1 with warnings)\nfailed      4\nincomplete  0 (in the list, in no report)' ]] ||
  fail "the summary is not right: $(cat "$run/summary.txt")"
cmp -s "$run/summary.txt" <(grep -v '^$' "$run/round-001/logs/merge.out") ||
  fail "the merge job printed another summary"

# Deleted outputs: their inputs run again, with the failed ones (but the refused gen-001.dat.gz).
rm "$work/slurm/runs/gen-005.tat" "$work/slurm/runs/gen-150.mat" "$work/slurm/runs/gen-297.tat"
submit
check
[[ $(cat "$run"/round-002/reports/task-*.jsonl | jq -r .input | sort | tr '\n' ' ') == \
  'runs/corrupt.dat runs/empty.dat runs/gen-005.dat runs/gen-150.dat runs/gen-297.dat runs/missing.dat ' ]] ||
  fail "the resubmission did not run only the inputs not done: $(cat "$run"/round-002/todo)"
echo "Slurm: 302 inputs, 4 failed; outputs and merged report as the local run's; resubmission ran 6"

# Snakemake on the folder: the same files, and the reports of the inputs it finds.
status=0
snakemake --quiet --cores 2 --snakefile "$repo/contrib/snakemake/Snakefile" \
  --directory "$work/snake" --config skarvel="$SKARVEL" >"$work/snake.log" 2>&1 || status=$?
((status == 1)) || { cat "$work/snake.log"; fail "snakemake ended with $status, not 1"; }
rm -r "$work/snake/skarvel-reports" "$work/snake/.snakemake" "$work/snake/summary.txt"
cmp <(without_seconds "$work/snake/ensemble-report.jsonl") \
  <(jq -c 'select(.input | endswith(".dat")) | select(.input != "runs/missing.dat") | del(.seconds)' \
    "$work/local.jsonl") || fail "the Snakemake report is not the local run's"
rm "$work/snake/ensemble-report.jsonl"
diff -r "$work/local" "$work/snake" || fail "the Snakemake outputs differ from the local run's"
echo "Snakemake: the same files and report lines"

#!/usr/bin/env bash
# Runs each fuzz target for a number of seconds on a copy of its seed corpus.
# Usage: fuzz/run.sh BUILD_FOLDER SECONDS TARGET...
# A crash, a leak, a timeout or an out-of-memory ends the target with a non-zero status; the
# input that caused it is kept in BUILD_FOLDER/fuzz-artifacts and the script fails.
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
source_dir=$(cd "$(dirname "$0")" && pwd)
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
work=$(mktemp -d "${TMPDIR:-/tmp}/truss-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=()
for target in "$@"; do
  corpus=$work/$target
  mkdir -p "$corpus"
  cp "$source_dir/corpus/$target/"* "$corpus/"
  echo "== $target: $seconds s"
  # The targets bound the size of every file they write, their own output to a file included, so
  # the output goes through a pipe.
  TMPDIR=$work "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" 2>&1 | cat >"$work/$target.log"
  status=${PIPESTATUS[0]}
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$work/$target.log"
  if [ $status -ne 0 ]; then
    tail -n 40 "$work/$target.log"
    echo "== $target FAILED (status $status); inputs in $artifacts"
    cp "$work/$target.log" "$artifacts/$target.log"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "fuzzing found nothing"

#!/usr/bin/env bash
# Runs the program on an example in a fresh scratch folder, with the report on the terminal, then
# prints the summary of its plot file (reactions, equilibrium, member forces) and draws it.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
run="$root/demo-run"
rm -rf "$run"
mkdir -p "$run"
cp "$root/examples/two_bar.dat" "$run/"
cd "$run"
printf 'two_bar.dat\nTT:\n' | "$root/$build/truss"
echo
echo "The plot file is $run/TRUSS.GRP"
plot="$root/$build/tools/trussplot/trussplot"
if [ -x "$plot" ]; then
  echo
  "$plot" --summary "$run/TRUSS.GRP"
  echo
  "$plot" --values --out "$run/truss.svg" "$run/TRUSS.GRP"
  echo "Its picture is $run/truss.svg"
fi

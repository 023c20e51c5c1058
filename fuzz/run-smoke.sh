#!/bin/sh
# Fuzz smoke for CI: each harness for a fixed number of runs from the seed
# corpus, new inputs kept out of the tree. Usage: fuzz/run-smoke.sh <build dir>
# (configured with -DNT_FUZZ=ON, see docs/fuzzing.md).
set -eu
build=$1
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/fuzz-artifacts"
for harness in decode_line:2000000:300 receive_path:150000:4096 number_parse:2000000:100 gpsd_command:200000:512; do
  name=${harness%%:*}
  rest=${harness#*:}
  runs=${rest%%:*}
  max_len=${rest#*:}
  mkdir -p "$work/$name"
  echo "fuzz_$name: $runs runs"
  "$build/bin/fuzz_$name" -runs="$runs" -seed=1 -max_len="$max_len" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/" "$work/$name" "$corpus/$name" 2>"$work/$name.log" ||
    { tail -n 60 "$work/$name.log"; echo "crash input kept in $build/fuzz-artifacts/"; exit 1; }
  grep -E '^Done|stat::number_of_executed_units' "$work/$name.log"
done

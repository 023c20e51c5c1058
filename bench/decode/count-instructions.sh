#!/bin/sh
# Instructions per DecodeLine call, counted by callgrind (stable from run to
# run): ./count-instructions.sh <build>/bin/decode_instructions [repeats]
set -eu
program=$1
repeats=${2:-1000}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for kind in gga gsa rmc vtg gll pgrmm gsv sony burst; do
  lines=$(valgrind --tool=callgrind --toggle-collect='CGPSComm::DecodeLine()' --callgrind-out-file="$out" \
    "$program" "$kind" "$repeats" 2>/dev/null)
  total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
  echo "$kind $((total / lines)) instructions per sentence"
done

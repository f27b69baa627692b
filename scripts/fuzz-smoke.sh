#!/usr/bin/env bash
# Runs every fuzz target for a few seconds, starting from its kept corpus and
# the inputs that ever crashed; prints a closing "N passed, N failed" line.
set -uo pipefail
build=${1:-build/fuzz}
seconds=${2:-20}
root="$(cd "$(dirname "$0")/.." && pwd)"
passed=0; failed=0
for target in "$build"/fuzz/fuzz_*; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  corpus=$(mktemp -d)
  for seeds in "$root/fuzz/corpus/$name" "$root/fuzz/regressions/$name"; do
    [[ -d "$seeds" ]] && cp -r "$seeds"/. "$corpus"/ 2>/dev/null
  done
  if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "$corpus" >"$corpus.log" 2>&1; then
    echo "fuzz $name: ok"; passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED"; tail -n 40 "$corpus.log"; failed=$((failed + 1))
  fi
  rm -rf "$corpus" "$corpus.log"
done
echo "fuzz: $passed passed, $failed failed"
[[ $failed -eq 0 ]]

#!/usr/bin/env bash
# Runs every fuzz target for a few seconds, starting from its kept corpus and
# the inputs that ever crashed, as many at a time as there are cores; prints a
# closing "N passed, N failed" line.
set -uo pipefail
build=${1:-build/fuzz}
seconds=${2:-20}
root="$(cd "$(dirname "$0")/.." && pwd)"
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

smoke() {
  local target=$1 name corpus seeds
  name=$(basename "$target"); name=${name#fuzz_}
  corpus="$results/$name.corpus"; mkdir -p "$corpus"
  for seeds in "$root/fuzz/corpus/$name" "$root/fuzz/regressions/$name"; do
    [[ -d "$seeds" ]] && cp -r "$seeds"/. "$corpus"/ 2>/dev/null
  done
  if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "$corpus" >"$results/$name.log" 2>&1; then
    echo "fuzz $name: ok" >"$results/$name.ok"
  else
    { echo "fuzz $name: FAILED"; tail -n 40 "$results/$name.log"; } >"$results/$name.failed"
  fi
  rm -rf "$corpus"
}

running=0; cores=$(nproc)
for target in "$build"/fuzz/fuzz_*; do
  [[ -x "$target" ]] || continue
  smoke "$target" &
  running=$((running + 1))
  if ((running >= cores)); then wait -n; running=$((running - 1)); fi
done
wait

passed=0; failed=0
for result in "$results"/*.ok "$results"/*.failed; do
  [[ -e "$result" ]] || continue
  cat "$result"
  if [[ $result == *.ok ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "fuzz: $passed passed, $failed failed"
((passed + failed > 0 && failed == 0))

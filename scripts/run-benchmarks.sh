#!/usr/bin/env bash
# Builds every benchmark program (bench/*.cpp) in the release preset, runs
# each one, keeps its results as JSON under build/bench-results/ and prints a
# table of all results with the machine they came from.
#
#   scripts/run-benchmarks.sh                 # everything
#   scripts/run-benchmarks.sh signing         # only bench/signing.cpp
#   BENCH_MIN_TIME=1 scripts/run-benchmarks.sh  # steadier figures, slower
#
# Environment: BENCH_MIN_TIME (seconds per benchmark, default 0.5),
# BENCH_BUILD_DIR (default build/release), BENCH_JOBS (default: nproc).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build_dir=${BENCH_BUILD_DIR:-build/release}
min_time=${BENCH_MIN_TIME:-0.5}
jobs=${BENCH_JOBS:-$(nproc)}
results=build/bench-results

# Which programs: the names given, else every bench/*.cpp there is now.
names=()
if [[ $# -gt 0 ]]; then
  for name in "$@"; do
    [[ -f "bench/$name.cpp" ]] || { echo "no benchmark bench/$name.cpp" >&2; exit 2; }
    names+=("$name")
  done
else
  for source in bench/*.cpp; do
    [[ -e "$source" ]] || continue
    names+=("$(basename "$source" .cpp)")
  done
fi
[[ ${#names[@]} -gt 0 ]] || { echo "no benchmark programs under bench/" >&2; exit 2; }

if [[ "$build_dir" == build/release ]]; then
  [[ -f "$build_dir/CMakeCache.txt" ]] || cmake --preset release >/dev/null
else
  [[ -f "$build_dir/CMakeCache.txt" ]] ||
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
targets=()
for name in "${names[@]}"; do targets+=("bench_$name"); done
echo "Building ${targets[*]} in $build_dir ..."
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}" >/dev/null

mkdir -p "$results"
cpu=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
machine="$(nproc) cores, ${cpu:-unknown CPU}, $(uname -sr)"
echo "Machine: $machine"
echo "Commit:  $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' (with local changes)')"
echo "Minimum time per benchmark: ${min_time} s"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
echo "Build:   ${build_type:-unknown} ($build_dir)"
echo "Load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) before the first run"
[[ "$build_type" == Release ]] || echo "warning: not a Release build; the figures say little" >&2
echo

failed=()
for name in "${names[@]}"; do
  program="$build_dir/bench/bench_$name"
  echo "Running $name ..."
  if ! "$program" --benchmark_min_time="$min_time" \
        --benchmark_out="$results/$name.json" --benchmark_out_format=json \
        >"$results/$name.txt" 2>&1; then
    failed+=("$name")
    tail -n 20 "$results/$name.txt"
  fi
done
echo

# One table of every result. Without python3 the programs' own tables are shown.
if command -v python3 >/dev/null; then
  python3 - "$results" "${names[@]}" <<'EOF' || failed+=("(a benchmark reported an error)")
import json, sys, os
folder, names = sys.argv[1], sys.argv[2:]
rows = []
for name in names:
    path = os.path.join(folder, name + ".json")
    if not os.path.exists(path):
        continue
    with open(path) as f:
        data = json.load(f)
    for b in data.get("benchmarks", []):
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "mean":
            continue
        if "error_occurred" in b and b["error_occurred"]:
            rows.append((name, b["name"], "error", "", "", b.get("error_message", "")))
            continue
        unit = b.get("time_unit", "ns")
        extra = []
        for key in ("bytes_per_second", "items_per_second"):
            if key in b:
                extra.append("%s %.3g/s" % (key.split("_")[0], b[key]))
        rows.append((name, b["name"], "%.3f" % b["real_time"], "%.3f" % b["cpu_time"], unit,
                     "%d it" % b["iterations"] + ("; " + ", ".join(extra) if extra else "")))
header = ("program", "benchmark", "real", "cpu", "unit", "")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
line = lambda r: "  ".join(str(v).rjust(widths[i]) if i in (2, 3) else str(v).ljust(widths[i])
                          for i, v in enumerate(r)).rstrip()
print(line(header))
print("  ".join("-" * w for w in widths).rstrip())
for r in rows:
    print(line(r))
sys.exit(3 if any(r[2] == "error" for r in rows) else 0)
EOF
else
  for name in "${names[@]}"; do
    echo "== $name"
    cat "$results/$name.txt"
    grep -q '"error_occurred": true' "$results/$name.json" 2>/dev/null && failed+=("$name (error)")
  done
fi
echo
echo "Results: $results/<program>.json (console output beside them as .txt)"
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi

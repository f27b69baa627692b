#!/usr/bin/env bash
# The main job: installs what is missing, builds the tools, and runs the
# built-in demonstration: quorvela-host starts an embedded sandbox of the
# service on loopback (with its own CA), seeds it, and plays a story through
# the real library over real HTTPS, one checked line per step, then prints
# what the sandbox received and what the host saw. Exits non-zero when a step
# did not happen. With --linger, the sandbox stays open after the story and
# its console URL is printed: open it in a browser; Ctrl-C stops.
#   scripts/run-demo.sh [--linger]
set -euo pipefail
demo_options=(--demo)
for argument in "$@"; do
  case "$argument" in
    --linger) demo_options+=(--linger) ;;
    *) echo "usage: scripts/run-demo.sh [--linger]" >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target quorvela-host quorvela-sandbox

# Every debug line of the library would bury the story: the log goes to a file.
log=build/release/demo-library.log
status=0
build/release/tools/host/quorvela-host "${demo_options[@]}" 2>"$log" || status=$?
echo "the library's log: $log"
exit "$status"

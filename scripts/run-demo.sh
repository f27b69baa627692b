#!/usr/bin/env bash
# The main job: installs what is missing, builds the tools, starts a local
# sandbox of the service, and runs quorvela-host through a short session
# against it over real HTTPS; then prints what the sandbox received.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target quorvela-host quorvela-sandbox
bin=build/release/tools

work=$(mktemp -d)
sandbox_pid=
cleanup() {
  [[ -n "$sandbox_pid" ]] && kill "$sandbox_pid" 2>/dev/null && wait "$sandbox_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/sandbox/quorvela-sandbox" --data-dir "$work/sandbox" --port 0 --admin-port 0 >"$work/sandbox.out" 2>"$work/sandbox.err" &
sandbox_pid=$!
for _ in $(seq 1 100); do
  grep -q '^admin-port ' "$work/sandbox.out" 2>/dev/null && break
  sleep 0.1
done
ca=$(awk '$1 == "ca" {print $2}' "$work/sandbox.out")
port=$(awk '$1 == "port" {print $2}' "$work/sandbox.out")
admin=$(awk '$1 == "admin-port" {print $2}' "$work/sandbox.out")
[[ -n "$admin" ]] || { echo "the sandbox did not start:"; cat "$work/sandbox.err"; exit 1; }
echo "sandbox: https on 127.0.0.1:$port, admin API on 127.0.0.1:$admin"

curl -sf -X POST "http://127.0.0.1:$admin/applications" \
  -H 'Content-Type: application/json' \
  -d '{"appName":"First Steps","publicId":"first-steps-client","privateKey":"first-steps-secret"}' >/dev/null

mkdir -p "$work/bundle"
cat >"$work/bundle/Quorvela-Info.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>appName</key><string>First Steps</string>
  <key>publicKey</key><string>first-steps-client</string>
  <key>privateKey</key><string>first-steps-secret</string>
  <key>maxStoredMessages</key><integer>50</integer>
</dict>
</plist>
PLIST

echo "---- quorvela-host examples/first-steps.qvh ----"
"$bin/host/quorvela-host" --bundle "$work/bundle" --data-dir "$work/data" \
  --connect-to "127.0.0.1:$port" --cacert "$ca" examples/first-steps.qvh

echo "---- analytics events the sandbox received ----"
curl -sf "http://127.0.0.1:$admin/events" | python3 -c '
import json, sys
for event in json.load(sys.stdin):
    kind = dict(event["query"]).get("eventtype", "?")
    print(kind.rjust(10) + "  " + "&".join(k + "=" + v for k, v in event["query"]))
'

#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and builds examples/minimal-host
# against it: through the CMake package (static and shared library) and
# through pkg-config with the static library; runs each program once. Then
# builds the host guide's examples/walkthrough the same way (GCC and clang,
# strict warnings) and runs it against a sandbox seeded from its world.json:
# each of its eight steps must say ok. The C and Python examples of the C
# interface run against the same sandbox.
# Prints one PASS or FAIL line; the exit status says the same.
#   scripts/check-package.sh [BUILD_DIR]     (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
work=$(mktemp -d /tmp/quorvela-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
log=$work/log

fail() {
  echo "---- last output ----"
  tail -n 40 "$log" 2>/dev/null || true
  echo "package check: FAIL ($*)"
  exit 1
}

# The example talks to no service: every connection goes to a closed port and
# fails at once; the program still configures, logs and flushes.
run_example() {
  local program=$1 data=$work/data-$(basename "$1")
  "$program" examples/minimal-host/bundle "$data" --connect-to 127.0.0.1:9 >"$work/run.out" 2>>"$log" ||
    fail "$(basename "$program") exited with $?"
  grep -q '^version 3\.[0-9.]*, idle$' "$work/run.out" || fail "$(basename "$program") printed: $(cat "$work/run.out")"
  [[ -s "$data/settings.sqlite3" ]] || fail "$(basename "$program") wrote no settings store"
}

cmake --install "$build" --prefix "$prefix" >"$log" 2>&1 || fail "cmake --install $build"

# The shared libraries a program loads, read whole: with pipefail,
# `ldd | grep -q` fails at random, whenever grep stops reading before ldd
# has written everything.
uses_installed_shared() {
  local libraries
  libraries=$(ldd "$1") && [[ $libraries == *"libquorvela.so.3 => $prefix"* ]]
}

# A host's strict warnings must stay quiet on the public headers, with both
# compilers; -Woverloaded-virtual catches a delegate overload that hides another.
strict="-Wall -Wextra -Wpedantic -Werror -Woverloaded-virtual"
cmake -S examples/minimal-host -B "$work/example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$strict" >>"$log" 2>&1 ||
  fail "configuring the example with find_package(Quorvela)"
cmake --build "$work/example" >>"$log" 2>&1 || fail "building the example against the CMake package"
if command -v clang++ >/dev/null; then
  cmake -S examples/minimal-host -B "$work/example-clang" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$strict" >>"$log" 2>&1 ||
    fail "configuring the example with clang"
  cmake --build "$work/example-clang" --target minimal-host >>"$log" 2>&1 || fail "building the example with clang"
  run_example "$work/example-clang/minimal-host"
fi
run_example "$work/example/minimal-host"
run_example "$work/example/minimal-host-shared"
uses_installed_shared "$work/example/minimal-host-shared" ||
  fail "minimal-host-shared does not use the installed shared library"
static_libraries=$(ldd "$work/example/minimal-host") || fail "ldd minimal-host"
[[ $static_libraries != *libquorvela* ]] || fail "minimal-host is not linked statically"

# The walkthrough against a seeded sandbox of this build tree.
sandbox_pid=
stop_sandbox() { [[ -n "$sandbox_pid" ]] && kill "$sandbox_pid" 2>/dev/null && wait "$sandbox_pid" 2>/dev/null; true; }
trap 'stop_sandbox; rm -rf "$work"' EXIT
for compiler in c++ clang++; do
  command -v "$compiler" >/dev/null || continue
  cmake -S examples/walkthrough -B "$work/walkthrough-$compiler" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$strict" >>"$log" 2>&1 ||
    fail "configuring the walkthrough with $compiler"
  cmake --build "$work/walkthrough-$compiler" >>"$log" 2>&1 || fail "building the walkthrough with $compiler"
done
"$build/tools/sandbox/quorvela-sandbox" --data-dir "$work/sandbox" --port 0 --admin-port 0 \
  --seed examples/walkthrough/world.json >"$work/sandbox.out" 2>>"$log" &
sandbox_pid=$!
for _ in $(seq 100); do grep -q '^admin-port ' "$work/sandbox.out" 2>/dev/null && break; sleep 0.1; done
port=$(awk '$1 == "port" { print $2 }' "$work/sandbox.out")
ca=$(awk '$1 == "ca" { print $2 }' "$work/sandbox.out")
[[ -n "$port" && -n "$ca" ]] || fail "the seeded sandbox did not start"
"$work/walkthrough-c++/walkthrough" examples/walkthrough/bundle "$work/walk-data" --connect-to "127.0.0.1:$port" \
  --cacert "$ca" >"$work/walkthrough.out" 2>>"$log" || { cat "$work/walkthrough.out" >>"$log"; fail "the walkthrough"; }
cat "$work/walkthrough.out" >>"$log"
[[ $(grep -c '^step [1-8] .*: ok ' "$work/walkthrough.out") == 8 ]] || fail "the walkthrough skipped a step"
grep -q 'pushReceived w-1 in walk-main' "$work/walkthrough.out" || fail "the walkthrough's push brought no message"

# ---- The C interface: examples/c-host (C11, strict warnings) through the
# CMake package and through pkg-config, and examples/python through ctypes,
# each against the shared library and the walkthrough's seeded sandbox (each
# with its own data folder, so each is a new device the message goes to).
# No admin calls here: the seed is all they need.
cheader_flags="-std=c11 -Wall -Wextra -Wpedantic -Werror"
echo '#include <quorvela/quorvela_c.h>' | cc $cheader_flags -I"$prefix/include" -x c -c - -o /dev/null >>"$log" 2>&1 ||
  fail "quorvela_c.h does not compile alone as C11"
echo '#include <quorvela/quorvela_c.h>' | c++ -std=c++20 $strict -I"$prefix/include" -x c++ -c - -o /dev/null \
  >>"$log" 2>&1 || fail "quorvela_c.h does not compile alone as C++"
cmake -S examples/c-host -B "$work/c-host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
  >>"$log" 2>&1 || fail "configuring the C example with find_package(Quorvela)"
cmake --build "$work/c-host" >>"$log" 2>&1 || fail "building the C example against the CMake package"
c_pc_dir=$(dirname "$(find "$prefix" -name quorvela.pc -print -quit)")
c_libdir=$(dirname "$c_pc_dir")
PKG_CONFIG_PATH=$c_pc_dir cc $cheader_flags examples/c-host/main.c -o "$work/c-host-pc" \
  $(PKG_CONFIG_PATH=$c_pc_dir pkg-config --cflags --libs quorvela) -Wl,-rpath,"$c_libdir" >>"$log" 2>&1 ||
  fail "building the C example through pkg-config"
c_examples=0
for program in "$work/c-host/c-host" "$work/c-host-pc"; do
  uses_installed_shared "$program" || fail "$(basename "$program") does not use the installed shared library"
  "$program" examples/walkthrough/bundle "$work/c-data-$c_examples" --connect-to "127.0.0.1:$port" --cacert "$ca" \
    >"$work/c-host.out" 2>>"$log" || { cat "$work/c-host.out" >>"$log"; fail "$(basename "$program") exited with $?"; }
  cat "$work/c-host.out" >>"$log"
  [[ $(grep '^inbox: ' "$work/c-host.out") == *'"id":"w-1"'* ]] || fail "$(basename "$program") printed no inbox with w-1"
  c_examples=$((c_examples + 1))
done
/usr/bin/python3 examples/python/walk.py "$c_libdir/libquorvela.so" examples/walkthrough/bundle "$work/py-data" \
  --connect-to "127.0.0.1:$port" --cacert "$ca" >"$work/python.out" 2>>"$log" ||
  { cat "$work/python.out" >>"$log"; fail "the Python example"; }
cat "$work/python.out" >>"$log"
grep -q '^inbox: "Welcome to the walk"' "$work/python.out" || fail "the Python example printed no inbox"
grep -h '^inbox: ' "$work/c-host.out" "$work/python.out" | sed 's/^/  /'
# ---- end of the C interface's block
stop_sandbox

# Only the archive stays, so that -lquorvela can only mean the static library
# and Libs.private / Requires.private must be complete.
pc=$(find "$prefix" -name quorvela.pc -print -quit)
[[ -n "$pc" ]] || fail "no quorvela.pc installed"
rm -f "$(dirname "$(dirname "$pc")")"/libquorvela.so*
export PKG_CONFIG_PATH=$(dirname "$pc")
pkg-config --exists --print-errors quorvela >>"$log" 2>&1 || fail "pkg-config cannot resolve quorvela"
c++ -std=c++20 $strict examples/minimal-host/main.cpp -o "$work/minimal-host-pc" \
  $(pkg-config --cflags --libs --static quorvela) >>"$log" 2>&1 || fail "linking through pkg-config --static"
run_example "$work/minimal-host-pc"


echo "package check: PASS (CMake package static and shared, GCC and clang, pkg-config static; walkthrough 8 of 8;"
echo "  C interface: C example via CMake and pkg-config, Python via ctypes)"

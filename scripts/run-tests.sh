#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every
# test: the dev build with all tests, a host built against the installed
# package, the API reference, the unit tests under AddressSanitizer+UBSan, the
# stress tests under ThreadSanitizer, and a short smoke run of every fuzz
# target.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh

jobs=$(nproc)
# Every tree is built with warnings as errors (GCC for dev, clang for the
# sanitizer trees and the fuzz targets): a new warning fails CI where it appears.
status=0

step() { printf '\n==== %s ====\n' "$*"; }

step "format and layers"
./scripts/check-format.sh || status=1
./scripts/check-layers.sh || status=1

step "dev build and all tests"
cmake --preset dev -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs" || status=1

step "installed package: examples/minimal-host via CMake and pkg-config"
./scripts/check-package.sh build/dev || status=1

step "API reference (doxygen, warnings fail)"
if doxygen docs/Doxyfile; then
  echo "API reference: PASS (docs/html)"
else
  echo "API reference: FAIL (doxygen warnings above)"
  status=1
fi

step "unit tests under AddressSanitizer and UBSan (clang; the fuzz targets share the tree)"
cmake --preset asan -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
# Only the library's unit tests: the tools and the integration, stress and
# crash programs run in the dev build already. The same objects, with
# coverage for the fuzzer, make the fuzz targets.
cmake --build --preset asan -j "$jobs" --target unit_platform unit_protocol unit_model unit_location unit_core unit_c
ASAN_OPTIONS=detect_leaks=1 ctest --preset asan -j "$jobs" -L unit || status=1

if compgen -G "tests/stress/*.cpp" >/dev/null; then
  step "stress tests under ThreadSanitizer"
  cmake --preset tsan -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
  cmake --build --preset tsan -j "$jobs" --target stress
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -L stress || status=1
fi

step "fuzz smoke runs"
cmake --build --preset asan -j "$jobs" --target fuzz_targets
./scripts/fuzz-smoke.sh build/asan 10 || status=1

exit $status

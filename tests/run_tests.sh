#!/usr/bin/env bash
# Installs what is missing, builds skelvar and its tests, and runs them all.
#   tests/run_tests.sh              Release build in build/
#   tests/run_tests.sh --sanitize   ASan + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

bash tests/fixtures/install_deps.sh

if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKELVAR_SANITIZE=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"

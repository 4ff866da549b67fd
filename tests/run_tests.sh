#!/usr/bin/env bash
# Installs what is missing, builds skelvar and its tests, and runs them all.
#   tests/run_tests.sh              Release build in build/
#   tests/run_tests.sh --sanitize   ASan + UBSan build in build-asan/
# With ../shared/testdata present a test that would skip for want of a sample
# fails instead, and any skipped test is named in a banner.
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

testdata=../shared/testdata
if [ -d "$testdata" ]; then export SKELVAR_REQUIRE_TESTDATA=1; fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" | tee "$log" || status=$?

skipped=$(grep -E '\(Skipped\)|\*\*\*Skipped' "$log" || true)
if [ -n "$skipped" ]; then
  echo
  echo "=================================================================="
  if [ -d "$testdata" ]; then
    echo "SKIPPED TESTS although $testdata is present:"
  else
    echo "SKIPPED TESTS ($testdata is absent):"
  fi
  echo "$skipped"
  echo "=================================================================="
  [ -d "$testdata" ] && status=1
fi

# C++ lines (neither blank nor comment) of the tests against those of the sources.
lines() { find "$1" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | grep -v '^\s*$' | grep -cv '^\s*//'; }
src=$(lines src) tests=$(lines tests)
echo "test code: $tests lines against $src of src ($((100 * tests / src))%)"
exit "$status"

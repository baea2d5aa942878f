#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest:
# the plain build, then the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the link's tests under ThreadSanitizer.
# TALVEK_QUICK=1 runs only the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

build_and_test() { # folder, sanitizers, [label], [parallel tests]: builds what the tests need and runs them
  local dir=$1 sanitize=$2 label=${3:-} parallel=${4:-$jobs}
  cmake -S . -B "$dir" -G Ninja -DTALVEK_SANITIZE="$sanitize" >/dev/null
  if [ -n "$label" ]; then
    # Only the labelled tests' programs (a test's name is its program's).
    local targets
    targets=$(cd "$dir" && ctest -N -L "$label" | awk '/Test +#/ {print $3}')
    cmake --build "$dir" -j "$jobs" --target talvek_data $targets
    (cd "$dir" && ctest --output-on-failure -j "$parallel" -L "$label")
  else
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure -j "$parallel")
  fi
}

# The plain tests mostly wait on their serial lines, so twice as many run
# at once as there are cores.
build_and_test build "" "" $((jobs * 2))
[ "${TALVEK_QUICK:-0}" = 1 ] && exit 0
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  build_and_test build-asan "address,undefined"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp" \
  build_and_test build-tsan "thread" serial

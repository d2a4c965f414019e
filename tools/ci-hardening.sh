#!/usr/bin/env bash
# The hardening stage of CI, after `make test`:
#   1. the whole test suite built with AddressSanitizer and UBSan (build-asan);
#   2. each fuzz target for a bounded time on a copy of its seed corpus
#      (build-fuzz, clang); any crash, leak or sanitizer report fails;
#   3. the output bits on aarch64: the digest program cross-built with
#      g++-aarch64-linux-gnu and run under qemu-aarch64 (build-arm).
# Environment: FUZZ_SECONDS (default 60) per target; HARDENING_STEPS, a
# subset of "asan fuzz arm" (default all three); JOBS (default nproc);
# BUILD_PREFIX (default "build": build-asan, build-fuzz, build-arm).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-$(nproc)}
fuzz_seconds=${FUZZ_SECONDS:-60}
steps=" ${HARDENING_STEPS:-asan fuzz arm} "
prefix=${BUILD_PREFIX:-build}

step() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }
wanted() { [[ "$steps" == *" $1 "* ]]; }

if wanted asan; then
  step "sanitizer build of the test suite"
  cmake -S . -B "$prefix-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENLOW_SANITIZE=ON >/dev/null
  cmake --build "$prefix-asan" -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS=suppressions="$root/tests/lsan-suppressions.txt" \
    ctest --test-dir "$prefix-asan" --output-on-failure -j "$jobs"
fi

if wanted fuzz; then
  step "fuzz targets, ${fuzz_seconds} s each"
  CXX=clang++ cmake -S . -B "$prefix-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENLOW_FUZZ=ON \
    -DQUENLOW_TESTS=OFF -DQUENLOW_WERROR=OFF >/dev/null
  cmake --build "$prefix-fuzz" -j "$jobs" --target fuzz_wav_header fuzz_filter_taps
  for target in wav_header filter_taps; do
    # New inputs go to a scratch corpus in the build tree; the seeds in the
    # tree stay as they are. A finding is written as build-fuzz/<target>-crash-*.
    scratch=$prefix-fuzz/corpus/$target
    mkdir -p "$scratch"
    echo "--- fuzz_$target"
    "$prefix-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$prefix-fuzz/$target-" \
      "$scratch" "tests/fuzz/corpus/$target"
  done
fi

if wanted arm; then
  step "the same output bits on aarch64"
  if ! command -v aarch64-linux-gnu-g++ >/dev/null || ! command -v qemu-aarch64 >/dev/null; then
    echo "aarch64 check needs g++-aarch64-linux-gnu and qemu-user (tools/install-deps.sh ci)" >&2
    exit 1
  fi
  cmake -S tests/golden -B "$prefix-arm" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" >/dev/null
  cmake --build "$prefix-arm" -j "$jobs"
  # ctest runs the program through qemu-aarch64 and compares its digests with
  # the ones in the tree, which the native suite checks too.
  ctest --test-dir "$prefix-arm" --output-on-failure
fi

step "hardening passed"

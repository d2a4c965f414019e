#!/usr/bin/env bash
# The Windows stage of CI, after the hardening stage: installs mingw-w64 and
# Wine, cross-builds quenlow.exe and its archive, and runs `make
# windows-test` (the portable unit tests and the output digests under Wine,
# then the dialogue of `wine quenlow.exe` through the pseudo-terminal).
# Environment: JOBS (default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

printf '\n=== Windows build and tests under Wine (%s)\n' "$(date +%T)"
tools/install-deps.sh windows
make windows-test JOBS="$jobs"
ls -l build-windows/quenlow-*-win64.zip
printf '\n=== Windows stage passed (%s)\n' "$(date +%T)"

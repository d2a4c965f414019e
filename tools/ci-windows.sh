#!/usr/bin/env bash
# The Windows stage of CI, after the hardening stage: installs mingw-w64 and
# Wine, cross-builds quenlow.exe, quenlow-batch.exe and their archive, and
# runs `make windows-test` (the portable unit tests and the output digests
# under Wine, then the dialogue of `wine quenlow.exe` through the
# pseudo-terminal, and quenlow-batch.exe against the Linux quenlow-batch).
# Environment: JOBS (default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

printf '\n=== Windows build and tests under Wine (%s)\n' "$(date +%T)"
tools/install-deps.sh windows
make windows-test JOBS="$jobs"
ls -l build-windows/quenlow-*-win64.zip
# The archive carries the licence and the notices its static libraries ask
# for, as text Notepad shows (CR LF).
zip=$(echo build-windows/quenlow-*-win64.zip)
listed=$(cmake -E tar tf "$zip")
for text in LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  grep -q "/$text\$" <<<"$listed" || { echo "$zip lacks $text" >&2; exit 1; }
  file=$(ls build-windows/package/quenlow-*-win64/$text)
  [ "$(grep -c $'\r$' "$file")" -eq "$(wc -l <"$file")" ] || { echo "$text is not CR LF throughout" >&2; exit 1; }
done
printf '\n=== Windows stage passed (%s)\n' "$(date +%T)"

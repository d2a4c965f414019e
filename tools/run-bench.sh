#!/usr/bin/env bash
# `make bench`: times the job on a generated 10-minute 44.1 kHz recording and
# sets it against the I/O floor, the reference chain and SoX, all in one run.
#   tools/run-bench.sh <release-build-dir>
# QUENLOW_BENCH_SECONDS changes the recording's length (default 600).
set -euo pipefail
build=$(cd "${1:?usage: $0 <release-build-dir>}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${QUENLOW_BENCH_SECONDS:-600}
driver="$build/bench/quenlow_bench"
work="$build/bench-run"
taps="$root/data/recfilt.dat"

rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
"$build/tools/make_demo_wav" "$work/in.wav" "$seconds" >/dev/null
sync

value() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
now() { date +%s.%N; }

echo "Quenlow benchmark: $seconds s of 44.1 kHz stereo ($(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'))"

# The job, in a process of its own so that its peak resident size is its own.
"$driver" job "$work/in.wav" "$taps" >"$work/job.txt"
sync
# The floor: the same two files' bytes written again from memory.
"$driver" floor "$work/in QLW unfiltered.wav" "$work/in QLW filtered.wav" "$work" >"$work/floor.txt"
rm -f "$work"/floor*.wav "$work/in QLW unfiltered.wav" "$work/in QLW filtered.wav"
sync
# The job without and with quenlow-batch's progress line, by turns: the line
# must cost nothing.
"$driver" progress "$work/in.wav" "$taps" >"$work/progress.txt"
sync
# The reference chain on the first 10000 frames; its cost is linear.
"$driver" reference "$work/in.wav" "$taps" 10000 >"$work/reference.txt"

# SoX doing the same work: hold, gain, dither, and for the filtered file the
# same taps after the hold, padded to the same length and alignment.
start=$(now)
sox -R "$work/in.wav" -t wavpcm -b 24 -r 176400 "$work/sox unfiltered.wav" \
  upsample 4 fir 0 0 0 1 1 1 1 vol 0.999 dither
sox -R "$work/in.wav" -t wavpcm -b 24 -r 176400 "$work/sox filtered.wav" \
  upsample 4 fir 0 0 0 1 1 1 1 pad 107s 107s fir "$taps" vol 0.999 dither
sox_seconds=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')

job=$(value job_seconds "$work/job.txt")
frames=$(value input_frames "$work/job.txt")
peak=$(value peak_rss_bytes "$work/job.txt")
chain=$(value chain_seconds "$work/job.txt")
kernel=$(value kernel "$work/job.txt")
exact=$(value exact_recomputations "$work/job.txt")
values=$(value filtered_values "$work/job.txt")
floor=$(value floor_seconds "$work/floor.txt")
with_progress=$(value progress_job_seconds "$work/progress.txt")
without_progress=$(value plain_job_seconds "$work/progress.txt")
per_frame=$(value reference_seconds_per_frame "$work/reference.txt")

awk -v job="$job" -v floor="$floor" -v chain="$chain" -v frames="$frames" -v per_frame="$per_frame" \
    -v sox="$sox_seconds" -v peak="$peak" -v exact="$exact" -v values="$values" -v kernel="$kernel" \
    -v with_progress="$with_progress" -v without_progress="$without_progress" 'BEGIN {
  reference = per_frame * frames
  allowance = 6 * frames + 64 * 1048576
  printf "  job (read, both passes, both files)   %8.2f s\n", job
  printf "  best of 3 without / with batch progress %5.2f s / %.2f s   ratio %6.2f\n", without_progress, with_progress, with_progress / without_progress
  printf "  I/O floor (both files from memory)    %8.2f s   job / floor      %6.2f   (target <= 2)\n", floor, job / floor
  printf "  reference chain                       %8.2f s   speed-up         %6.1f   (target >= 30)\n", reference, reference / job
  printf "    (%.2f us per input frame, timed on 10000 frames)\n", per_frame * 1e6
  printf "  SoX, both files                       %8.2f s   SoX / job        %6.2f   (target >= 5)\n", sox, sox / job
  printf "  peak resident size                    %8.1f MiB = %.2f bytes per input frame\n", peak / 1048576, peak / frames
  printf "    (allowance 6 bytes per frame + 64 MiB = %.1f MiB: %s)\n", allowance / 1048576, peak <= allowance ? "met" : "NOT met"
  printf "  both passes into memory, no files     %8.2f s   (%s kernel)\n", chain, kernel
  printf "  exact recomputations                  %8d of %d filtered values\n", exact, values
}'

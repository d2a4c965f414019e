#!/usr/bin/env bash
# `make bench`: times the job on a generated 10-minute 44.1 kHz recording and
# sets it, within one run, against the disk's floor (dd copying the job's own
# outputs), the reference chain and SoX; then the same job and SoX on a
# RAM-backed folder, where the compute shows; and the peak resident size on
# the 10-minute input and on a 2-hour one.
#   tools/run-bench.sh <release-build-dir>
# QUENLOW_BENCH_SECONDS changes the short recording's length (default 600),
# QUENLOW_BENCH_REPEATS how many of it make the long one (default 12).
set -euo pipefail
build=$(cd "${1:?usage: $0 <release-build-dir>}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${QUENLOW_BENCH_SECONDS:-600}
repeats=${QUENLOW_BENCH_REPEATS:-12}
driver="$build/bench/quenlow_bench"
work="$build/bench-run"
shm=/dev/shm/quenlow-bench.$$
taps="$root/data/recfilt.dat"

rm -rf "$work"
mkdir -p "$work" "$shm"
trap 'rm -rf "$work" "$shm"' EXIT
trap 'exit 130' INT TERM

value() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
# A 32-bit little-endian number, as four bytes.
le32() {
  # shellcheck disable=SC2059
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"
}

# SoX doing the job's work: hold, gain, dither, and for the filtered file the
# same taps after the hold, padded to the same length and alignment; both
# files flushed to disk, as the job's are. Prints its seconds.
sox_job() {
  local in=$1 folder=$2 start
  start=$(now)
  sox -R "$in" -t wavpcm -b 24 -r 176400 "$folder/sox unfiltered.wav" \
    upsample 4 fir 0 0 0 1 1 1 1 vol 0.999 dither
  sox -R "$in" -t wavpcm -b 24 -r 176400 "$folder/sox filtered.wav" \
    upsample 4 fir 0 0 0 1 1 1 1 pad 107s 107s fir "$taps" vol 0.999 dither
  sync -d "$folder/sox unfiltered.wav" "$folder/sox filtered.wav"
  since "$start"
  rm -f "$folder/sox unfiltered.wav" "$folder/sox filtered.wav"
}

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Quenlow benchmark: $seconds s of 44.1 kHz stereo ($(nproc) cores, $cpu; load average $(cut -d' ' -f1 /proc/loadavg) at the start)"

"$build/tools/make_demo_wav" "$work/in.wav" "$seconds" >/dev/null
sync

# The job and its floor by turns, three times, the median of each taken: the
# machine may be shared. The job runs in a process of its own so that its
# peak resident size is its own. The floor is dd copying the job's two
# outputs from the page cache (they were just written), each flushed to disk.
for round in 1 2 3; do
  "$driver" job "$work/in.wav" "$taps" >"$work/job$round.txt"
  sync
  cat "$work/in QLW unfiltered.wav" "$work/in QLW filtered.wav" >/dev/null
  start=$(now)
  dd if="$work/in QLW unfiltered.wav" of="$work/copy1" bs=1M conv=fdatasync status=none
  dd if="$work/in QLW filtered.wav" of="$work/copy2" bs=1M conv=fdatasync status=none
  since "$start" >"$work/floor$round.txt"
  echo >>"$work/floor$round.txt"
  rm -f "$work/copy1" "$work/copy2" "$work/in QLW unfiltered.wav" "$work/in QLW filtered.wav"
  sync
  # The job again with quenlow-batch's progress line drawn: it must cost
  # nothing.
  "$driver" progress "$work/in.wav" "$taps" >"$work/progress$round.txt"
  rm -f "$work/in QLW unfiltered.wav" "$work/in QLW filtered.wav"
  sync
done
median() { sort -g | sed -n 2p; }
job=$(for r in 1 2 3; do value job_seconds "$work/job$r.txt"; done | median)
floor=$(cat "$work"/floor?.txt | median)
cpu_seconds=$(for r in 1 2 3; do value cpu_seconds "$work/job$r.txt"; done | median)
with_progress=$(for r in 1 2 3; do value progress_job_seconds "$work/progress$r.txt"; done | median)
cp "$work/job1.txt" "$work/job.txt"
# What the second pass's read of the input costs, from the page cache.
"$driver" read "$work/in.wav" >"$work/read.txt"
# Both passes into memory, no files.
"$driver" chain "$work/in.wav" "$taps" >"$work/chain.txt"
# The reference chain on the first 10000 frames; its cost is linear.
"$driver" reference "$work/in.wav" "$taps" 10000 >"$work/reference.txt"
sox=$(sox_job "$work/in.wav" "$work")

# The same job and SoX with input and outputs on a RAM-backed folder.
cp "$work/in.wav" "$shm/in.wav"
"$driver" job "$shm/in.wav" "$taps" >"$work/shm-job.txt"
rm -f "$shm/in QLW unfiltered.wav" "$shm/in QLW filtered.wav"
sox_shm=$(sox_job "$shm/in.wav" "$shm")
rm -f "$shm/in.wav"

# The long recording: the short one's samples over and over, behind a header
# for all of them (1.3 GB, and 15 GB of outputs for 2 hours). All of it goes
# as soon as the job is done.
data=$(($(stat -c %s "$work/in.wav") - 44))
total=$((data * repeats))
{
  printf 'RIFF'
  le32 $((total + 36))
  head -c 40 "$work/in.wav" | tail -c 32
  le32 "$total"
  for ((i = 0; i < repeats; ++i)); do tail -c +45 "$work/in.wav"; done
} >"$work/long.wav"
"$driver" job "$work/long.wav" "$taps" >"$work/long-job.txt"
rm -f "$work/long.wav" "$work/long QLW unfiltered.wav" "$work/long QLW filtered.wav"

frames=$(value input_frames "$work/job.txt")
peak=$(value peak_rss_bytes "$work/job.txt")
read_seconds=$(value read_seconds "$work/read.txt")
chain=$(value chain_seconds "$work/chain.txt")
kernel=$(value kernel "$work/chain.txt")
exact=$(value exact_recomputations "$work/chain.txt")
values=$(value filtered_values "$work/chain.txt")
per_frame=$(value reference_seconds_per_frame "$work/reference.txt")
shm_job=$(value job_seconds "$work/shm-job.txt")
long_job=$(value job_seconds "$work/long-job.txt")
long_frames=$(value input_frames "$work/long-job.txt")
long_peak=$(value peak_rss_bytes "$work/long-job.txt")
long_cpu=$(value cpu_seconds "$work/long-job.txt")

awk -v job="$job" -v floor="$floor" -v chain="$chain" -v frames="$frames" -v per_frame="$per_frame" \
    -v sox="$sox" -v peak="$peak" -v exact="$exact" -v values="$values" -v kernel="$kernel" \
    -v read="$read_seconds" -v shm_job="$shm_job" -v sox_shm="$sox_shm" -v long_job="$long_job" \
    -v long_frames="$long_frames" -v long_peak="$long_peak" -v cpu="$cpu_seconds" -v long_cpu="$long_cpu" -v mib=1048576 \
    -v with_progress="$with_progress" 'BEGIN {
  reference = per_frame * frames
  printf "  job (read twice, both passes, both files flushed) %7.2f s   (processor time %.2f s; median of 3)\n", job, cpu
  printf "  the same with quenlow-batch progress shown  %7.2f s   with / without %5.2f   (median of 3)\n", with_progress, with_progress / job
  printf "  I/O floor (dd of both outputs, flushed)       %7.2f s   job / floor   %6.2f   (target <= 1.3; median of 3)\n", floor, job / floor
  printf "  second read of the input (page cache)         %7.3f s   of the job    %5.1f %%   (target < 5 %%)\n", read, 100 * read / job
  printf "  reference chain                            %10.2f s   speed-up      %6.1f   (target >= 30)\n", reference, reference / job
  printf "    (%.2f us per input frame, timed on 10000 frames)\n", per_frame * 1e6
  printf "  SoX, both files flushed                       %7.2f s   SoX / job     %6.2f   (target >= 5)\n", sox, sox / job
  printf "  in /dev/shm: job                              %7.2f s\n", shm_job
  printf "  in /dev/shm: SoX, both files                  %7.2f s   SoX / job     %6.2f\n", sox_shm, sox_shm / shm_job
  printf "  both passes into memory, no files             %7.2f s   (%s kernel)\n", chain, kernel
  printf "  exact recomputations                       %10d of %d filtered values\n", exact, values
  printf "  peak resident size, %5.0f s input            %7.1f MiB   (target <= 64 MiB: %s)\n", frames / 44100, peak / mib, peak <= 64 * mib ? "met" : "NOT met"
  printf "  peak resident size, %5.0f s input            %7.1f MiB   (target <= 64 MiB: %s)\n", long_frames / 44100, long_peak / mib, long_peak <= 64 * mib ? "met" : "NOT met"
  printf "    (that job: %.2f s, %.2f s per 10 minutes of input; processor time %.2f s)\n", long_job, long_job * 26460000 / long_frames, long_cpu
}'

# quenlow-listen: the renderer's share of a core and the key-to-device latency
# (a stand-in device at the real pace, another job's two threads running).
echo
"$build/bench/quenlow_bench_listen" "$work/in.wav" "$taps"

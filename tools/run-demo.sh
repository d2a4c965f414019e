#!/usr/bin/env bash
# Starts Quenlow in demo/, a folder holding a short generated recording.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root/demo"
"$root/$build/tools/make_demo_wav" "$root/demo/demo.wav" 6
echo
echo "Quenlow starts in $root/demo, which holds demo.wav (6 seconds, 44.1 kHz)."
echo "At the prompt, type:  demo.wav   and press Enter."
echo "The two outputs appear beside it: 'demo QLW unfiltered.wav' and 'demo QLW filtered.wav'."
echo
if [ -t 0 ] && [ -t 1 ]; then
  read -r -p "Press Enter to start... " _
  cd "$root/demo" && exec "$root/$build/bin/quenlow"
else
  echo "(Not in a terminal: run it yourself with  cd demo && ../$build/bin/quenlow)"
fi

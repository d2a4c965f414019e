#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quenlow need, if any
# are missing. As root it runs apt-get; otherwise it prints the command to run.
#   tools/install-deps.sh [run|build|test|bench|ci|windows|deb|package]
set -euo pipefail
what=${1:-test}

# The dialogue needs curses, and nothing else to build and run (`make demo`);
# quenlow-filter needs FFTW, cairo, libsndfile and CLI11 (header-only);
# quenlow-batch libsndfile, libFLAC, nettle and CLI11 too; quenlow-listen PortAudio and libsoxr.
packages=(g++ cmake make pkg-config libncurses-dev)
tools=(libfftw3-dev libcairo2-dev libsndfile1-dev libflac-dev nettle-dev libcli11-dev portaudio19-dev libsoxr-dev)
# quenlow-listen's tests play through ALSA's file and AC-3 devices and through a PulseAudio server
# with a null sink, which they start and stop themselves.
listen_test=(libasound2-plugins pulseaudio pulseaudio-utils)
case "$what" in
  run) ;;
  build) packages+=("${tools[@]}") ;;
  test) packages+=("${tools[@]}" libgtest-dev libgmock-dev libvterm-dev libsndfile1-dev libmpfr-dev sox "${listen_test[@]}") ;;
  bench) packages+=("${tools[@]}" libgtest-dev libgmock-dev libvterm-dev libsndfile1-dev libmpfr-dev libbenchmark-dev sox "${listen_test[@]}") ;;
  ci) packages+=("${tools[@]}" libgtest-dev libgmock-dev libvterm-dev libsndfile1-dev libmpfr-dev libbenchmark-dev sox "${listen_test[@]}"
                 clang libclang-rt-14-dev g++-aarch64-linux-gnu qemu-user) ;;
  # The Windows cross build and Wine to run it; GoogleTest's sources for
  # the cross-built tests.
  # libcli11-dev: the header-only CLI11 that quenlow-batch.exe is built with.
  windows) packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest libcli11-dev wine wine64) ;;
  # `make deb`: dpkg-shlibdeps (dpkg-dev) and file find the run-time
  # dependencies; the package stage of CI checks the package with lintian,
  # its manual page with man and its completion with bash-completion.
  deb) packages+=(dpkg-dev file) ;;
  package) packages+=(dpkg-dev file lintian man-db bash-completion git) ;;
  *) echo "usage: $0 [run|build|test|bench|ci|windows|deb|package]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Quenlow needs these Debian packages: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"

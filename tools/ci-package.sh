#!/usr/bin/env bash
# CI's package stage, as root: builds the Debian package from a clean clone of
# the committed tree (`make deb`), checks it with lintian, installs it with
# apt-get (its dependencies come with it), runs each installed program once,
# then purges it and checks that none of its files is left.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" package

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone --quiet "$root" "$work/quenlow"
cd "$work/quenlow"
make deb
deb=$(echo "$PWD"/build-deb/quenlow_*_amd64.deb)
version=$(dpkg-deb --field "$deb" Version)
echo "== lintian $(basename "$deb")"
lintian --fail-on error --display-level '>=warning' "$deb"

# Another apt-get on the machine is waited for, not failed on.
apt=(apt-get -y -o DPkg::Lock::Timeout=600)
echo "== apt-get install ./$(basename "$deb")"
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install "$deb"

fail() { echo "package stage: $*" >&2; exit 1; }
for program in quenlow quenlow-batch quenlow-filter quenlow-listen; do
  shown=$("/usr/bin/$program" --version)
  [ "$shown" = "$program $version" ] || fail "$program --version says '$shown', the package is $version"
done
manual=$(man -w quenlow)
zcat "$manual" | grep -q "^\.TH QUENLOW 1 .*\"Quenlow $version\"" || fail "$manual does not carry version $version"
# The installed programs find the installed coefficient file from any folder.
demo=$work/demo
mkdir "$demo"
build-deb/tools/make_demo_wav "$demo/demo.wav" 2
(cd "$demo" && quenlow-batch demo.wav) || fail "quenlow-batch on the demo recording failed"
[ -s "$demo/demo QLW unfiltered.wav" ] && [ -s "$demo/demo QLW filtered.wav" ] || fail "quenlow-batch wrote no outputs"
(cd "$demo" && quenlow-filter show) | grep -q "^File: /usr/.*share/quenlow/recfilt.dat " ||
  fail "quenlow-filter show did not take the installed recfilt.dat"
# The completion is loaded on demand and completes an option.
completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
  COMP_WORDS=(quenlow-batch --skip); COMP_CWORD=1; COMP_LINE="quenlow-batch --skip"; COMP_POINT=${#COMP_LINE}
  __load_completion quenlow-batch && _quenlow_batch && echo "${COMPREPLY[*]}"')
[ "$completed" = "--skip-existing" ] || fail "the bash completion of quenlow-batch gave '$completed'"

echo "== apt-get purge quenlow"
DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge quenlow
left=()
while read -r path; do
  [ -e "/$path" ] && [ ! -d "/$path" ] && left+=("/$path")
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||')
for folder in /usr/share/quenlow /usr/share/doc/quenlow; do
  [ -e "$folder" ] && left+=("$folder")
done
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "The package $(basename "$deb") installed, ran and was purged cleanly."

#!/usr/bin/env bash
# check_reproducible.sh [COMMIT [SIGNED_INSTALLER]] [-DNAME=VALUE...]
# Builds the win32 installer of COMMIT (default HEAD; uncommitted changes play no part) twice, from two
# copies of it in two folders of different paths, under different time zones, locales and umasks,
# and compares the two unsigned installers byte for byte. With SIGNED_INSTALLER (a release's
# ZunorSetup.exe) it also takes that file's signature off and compares what is left with the rebuild:
# the check that a published installer is what its commit builds. 2 to 4 minutes on two cores.
# -D settings (a release's ZUNOR_SERVER_BASE, ZUNOR_PUBLISHER_KEY) go to both configurations, as they went
# to the release's. Without ZUNOR_PUBLISHER_KEY both carry one tests' publisher key: this clone's
# (build/win32/pki, as a test release has it) where there is one, else a fresh one.
# Exit 0 when all are the same. KEEP=1 keeps the folders.
set -euo pipefail
cd "$(dirname "$0")/.."
positional=() settings=()
for arg; do
    case $arg in -D*) settings+=("$arg") ;; *) positional+=("$arg") ;; esac
done
commit=$(git rev-parse --verify "${positional[0]:-HEAD}^{commit}")
signed=${positional[1]:-}
[ -z "$signed" ] || signed=$(realpath "$signed")
for tool in cmake tar sha256sum cmp python3 i686-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null || { echo "reproducible: $tool is missing (run tools/setup.sh as root)" >&2; exit 1; }
done
[ -z "$signed" ] || command -v osslsigncode >/dev/null ||
    { echo "reproducible: osslsigncode is missing (run tools/setup.sh as root)" >&2; exit 1; }
start=$SECONDS
work=$(mktemp -d /tmp/zunor-reproducible.XXXXXX)
if [ -n "${KEEP:-}" ]; then echo "reproducible: keeping $work"; else trap 'rm -rf "$work"' EXIT; fi

test_key=$work/test-key
if [ -s build/win32/pki/publisher.pub ] && [ -s build/win32/pki/publisher.key ]; then
    mkdir -p "$test_key" && cp build/win32/pki/publisher.pub build/win32/pki/publisher.key "$test_key/"
else
    bash tools/server/publisher_key.sh "$test_key" >/dev/null
fi

build_in() { # folder time-zone locale umask
    mkdir -p "$1"
    git archive "$commit" | tar -x -C "$1"
    mkdir -p "$1/build/win32/pki" && cp "$test_key"/publisher.* "$1/build/win32/pki/"
    echo "reproducible: building $commit in $1 (TZ=$2 LC_ALL=$3 umask $4)"
    if ! (cd "$1" && umask "$4" && export TZ="$2" LC_ALL="$3" && cmake --preset win32 "${settings[@]}" >build.log 2>&1 &&
        cmake --build --preset win32 --target ZunorSetup >>build.log 2>&1); then
        tail -n 30 "$1/build.log" >&2
        exit 1
    fi
}
one=$work/one
two=$work/second-folder/of-another-length
build_in "$one" UTC C.UTF-8 022
build_in "$two" Pacific/Kiritimati C 077
a=$one/build/win32/ZunorSetup.exe
b=$two/build/win32/ZunorSetup.exe

# Where differing bytes lie: the section of each file offset, from the section table.
locate() { # file offsets...
    i686-w64-mingw32-objdump -h "$1" | python3 -c '
import sys
sections = [(l.split()[1], int(l.split()[5], 16), int(l.split()[2], 16))
            for l in sys.stdin if l.split() and l.split()[0].isdigit()]
for o in map(int, sys.argv[1:]):
    where = [n for n, start, size in sections if 0 < start <= o < start + size] + ["headers, or after the sections"]
    print(f"  offset {o}: {where[0]}")' "${@:2}"
}
compare() { # what first second
    if cmp -s "$2" "$3"; then
        echo "reproducible: $1: the same"
        return 0
    fi
    echo "reproducible: $1: DIFFERENT ($(cmp -l "$2" "$3" 2>/dev/null | wc -l) bytes; sizes $(stat -c %s "$2") and $(stat -c %s "$3"))"
    locate "$2" $(cmp -l "$2" "$3" 2>/dev/null | head -n 20 | awk '{ print $1 - 1 }')
    return 1
}

status=0
echo "reproducible: $(sha256sum "$a")"
echo "reproducible: $(sha256sum "$b")"
compare "the two unsigned installers" "$a" "$b" || status=1
if [ -n "$signed" ]; then
    osslsigncode remove-signature -in "$signed" -out "$work/without-signature.exe" >/dev/null
    compare "$signed without its signature and the rebuild" "$work/without-signature.exe" "$a" || status=1
fi
echo "reproducible: took $((SECONDS - start)) s"
exit $status

#!/usr/bin/env bash
# file_steps.sh [BUILD_DIR] [PORT]: what each step of the installer's path for one file costs
# (bench/file_steps.cpp), on the product bench/installer_bench.sh generates (run that once first): its
# 400 small files and its 256 MiB file, served by the local Apache on PORT (default 19211) to the
# bench's Wine prefix. BUILD_DIR defaults to the Win32 tree this host runs. Not a ctest test.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${1:-}" ]; then
    . "$source_dir/tools/wine/host.sh"
    zunor_choose_tree
fi
build="$(realpath "${1:-$source_dir/build/$ZUNOR_TREE}")"
port="${2:-19211}"
root="$build/bench-installer"
product="$root/htdocs/zunor"
[ -f "$product/.complete" ] && [ -f "$root/wineprefix/.ready" ] ||
    { echo "no bench product in $root: run bench/installer_bench.sh $build first" >&2; exit 1; }
[ -x "$build/bench/file_steps.exe" ] || { echo "build the target file_steps first" >&2; exit 1; }
export ZUNOR_BUILD="$build" ZUNOR_WINEPREFIX="$root/wineprefix"
# shellcheck source=../tools/wine/env.sh
. "$source_dir/tools/wine/env.sh"
"$source_dir/tools/server/apache.sh" start "$build" "$port" "$root/htdocs"
out="$root/steps"
trap '"$source_dir/tools/server/apache.sh" stop "$build" "$port" || true; rm -rf "$out"' EXIT
rm -rf "$out"
mkdir -p "$out"
for f in "$product"/mali*.dat; do echo "https://localhost:$port/zunor/$(basename "$f")"; done >"$root/small-urls.txt"
wine "$build/bench/file_steps.exe" "$(winepath -w "$root/small-urls.txt")" "https://localhost:$port/zunor/veliki.dat" \
    "$(winepath -w "$out")"

#!/usr/bin/env bash
# check_private_clone.sh [ctest arguments...]: the README's two commands from a clone in a folder only its
# owner may enter, as a new user's clone in root's home (mode 700) or in a mktemp -d folder is. Clones
# this repository's HEAD into such a folder, runs tools/demo.sh there (without a display, so it installs
# unattended), then tools/test.sh with the arguments given (say -L e2e for the end-to-end tests only),
# and prints how long each took. The clone is removed when both pass and kept for a look when one fails.
# From nothing, the three builds take most of the time (about 20 minutes on two cores in all).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
chmod 700 "$work"
git clone -q "$top" "$work/clone"
cd "$work/clone"
echo "check: a clone of $(git rev-parse --short HEAD) in $work (mode $(stat -c %a "$work"))"
start=$SECONDS
env -u DISPLAY bash tools/demo.sh
echo "check: tools/demo.sh passed in $((SECONDS - start)) s"
start=$SECONDS
bash tools/test.sh "$@"
echo "check: tools/test.sh passed in $((SECONDS - start)) s"
cd /
rm -rf "$work"

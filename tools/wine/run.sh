#!/usr/bin/env bash
# run.sh BUILD_DIR program.exe [args...]: runs a Win32 program in the build tree's Wine prefix and
# passes its exit code on.
set -euo pipefail
export ZUNOR_BUILD="$1"; shift
. "$(dirname "$0")/env.sh"
if [ ! -d "$WINEPREFIX/drive_c" ]; then
    echo "no Wine prefix at $WINEPREFIX (the wineprefix fixture makes it)" >&2
    exit 1
fi
exec "$ZUNOR_WINE" "$@"

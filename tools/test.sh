#!/usr/bin/env bash
# Runs every test: installs what is missing (as root), builds both trees, and runs ctest, which
# covers the native unit tests, the Win32 tests under Wine and the end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --test-dir build/win32 --output-on-failure "$@"

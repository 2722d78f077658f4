#!/usr/bin/env bash
# Runs every test: installs what is missing (as root), builds the native tree and both Win32 trees, and
# runs ctest in the Win32 tree this host can run (win32, or the 64-bit twin win64 where the kernel runs
# no 32-bit x86 code; ZUNOR_TEST_TREE=win32|win64 forces one). That ctest run covers the native unit
# tests, the Win32 tests under Wine and the end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
. tools/wine/host.sh
zunor_choose_tree
for preset in native win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
echo "test: running the $ZUNOR_TREE tree (build/$ZUNOR_TREE): $ZUNOR_TREE_WHY"
ctest --test-dir "build/$ZUNOR_TREE" --output-on-failure "$@"
echo "test: ran the $ZUNOR_TREE tree (build/$ZUNOR_TREE): $ZUNOR_TREE_WHY"

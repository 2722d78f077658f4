#!/usr/bin/env bash
# Which Win32 build tree this host can test: win32 where the kernel runs 32-bit x86 code and Wine's
# 32-bit loader starts, otherwise win64, the 64-bit twin of the same sources. ZUNOR_TEST_TREE=win32|win64 forces one.
#   Sourced: zunor_runs_i386 and zunor_choose_tree (sets ZUNOR_TREE and ZUNOR_TREE_WHY).
#   Run:     prints "<tree>: <why>".
# Looking for packages is not enough: wine32 installs fine on a kernel without ia32 emulation, and then
# every i386 program fails with "Exec format error". So a tiny static i386 program is run instead.

# Exit 0 when a 32-bit x86 program runs here. The probe is a 93-byte static ELF that calls exit(42)
# through int 0x80; it is written beside the build trees, where running programs is known to work.
zunor_runs_i386() {
    local dir="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build}" probe rc
    mkdir -p "$dir" || return 1
    probe=$(mktemp "$dir/.i386-probe.XXXXXX") || return 1
    {
        printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
        printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
        printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
        printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
        printf '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80'  # xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80
    } >"$probe"
    chmod 700 "$probe"
    rc=0
    "$probe" >/dev/null 2>&1 || rc=$?
    rm -f "$probe"
    [ "$rc" -eq 42 ]
}

# Exit 0 when Wine's 32-bit loader starts. Debian's wine32 puts it there; set-up installs it only where
# 32-bit code runs, and a host may still lack it (no i386 packages to be had) or fail to start it.
zunor_runs_wine32() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

zunor_choose_tree() {
    case "${ZUNOR_TEST_TREE:-}" in
    win32 | win64)
        ZUNOR_TREE=$ZUNOR_TEST_TREE
        ZUNOR_TREE_WHY="forced by ZUNOR_TEST_TREE"
        ;;
    "")
        if zunor_runs_i386 && zunor_runs_wine32; then
            ZUNOR_TREE=win32
            ZUNOR_TREE_WHY="this host runs 32-bit x86 code"
        elif zunor_runs_i386; then
            ZUNOR_TREE=win64
            ZUNOR_TREE_WHY="this host runs 32-bit x86 code, but Wine's 32-bit loader (/usr/lib/wine/wine, package wine32) does not start, so the 64-bit twin"
        else
            ZUNOR_TREE=win64
            ZUNOR_TREE_WHY="this host cannot run 32-bit x86 code (no ia32 emulation), so the 64-bit twin"
        fi
        ;;
    *)
        echo "ZUNOR_TEST_TREE must be win32 or win64, not '$ZUNOR_TEST_TREE'" >&2
        return 2
        ;;
    esac
    export ZUNOR_TREE ZUNOR_TREE_WHY
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -eu
    zunor_choose_tree
    echo "$ZUNOR_TREE: $ZUNOR_TREE_WHY"
fi

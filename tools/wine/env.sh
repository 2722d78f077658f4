# Sourced by the scripts that run Win32 programs: the build tree's own Wine prefix, quiet Wine, the
# loader that runs this tree's programs, and the test display when one was started. Never ~/.wine.
: "${ZUNOR_BUILD:?ZUNOR_BUILD must name a win32 or win64 build tree}"
export WINEPREFIX="${ZUNOR_WINEPREFIX:-$ZUNOR_BUILD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono/Gecko install prompts in a test prefix, and no menu entries or .desktop files made for
# shortcuts (winemenubuilder would write them into the host user's home).
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
if [ -z "${ZUNOR_KEEP_DISPLAY:-}" ] && [ -f "$ZUNOR_BUILD/xvfb.display" ]; then
    export DISPLAY=":$(cat "$ZUNOR_BUILD/xvfb.display")"
fi
ZUNOR_WIN_ARCH=$(cat "$ZUNOR_BUILD/win-arch" 2>/dev/null || echo win32)
case "$ZUNOR_WIN_ARCH" in
win64)
    # Debian's wine wrapper picks the 32-bit loader whenever wine32 is installed, even on a kernel that
    # cannot run it; the 64-bit tree names Wine's 64-bit loader itself.
    export ZUNOR_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
    ;;
*)
    export ZUNOR_WINE=wine
    ;;
esac
if ! command -v "$ZUNOR_WINE" >/dev/null 2>&1; then
    echo "$ZUNOR_WINE is not installed (run tools/setup.sh as root)" >&2
    exit 1
fi
# wine, wineboot and winepath go through this tree's loader (Debian's wineboot and winepath wrappers
# always take the 32-bit one).
wine() { command "$ZUNOR_WINE" "$@"; }
wineboot() { command "$ZUNOR_WINE" wineboot.exe "$@"; }
winepath() { command "$ZUNOR_WINE" winepath.exe "$@"; }

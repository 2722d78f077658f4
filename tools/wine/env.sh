# Sourced by the scripts that run Win32 programs: the build tree's own Wine prefix, quiet Wine, and
# the test display when one was started. Never the user's ~/.wine.
: "${ZUNOR_BUILD:?ZUNOR_BUILD must name the win32 build tree}"
export WINEPREFIX="${ZUNOR_WINEPREFIX:-$ZUNOR_BUILD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono/Gecko install prompts in a test prefix, and no menu entries or .desktop files made for
# shortcuts (winemenubuilder would write them into the host user's home).
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
if [ -z "${ZUNOR_KEEP_DISPLAY:-}" ] && [ -f "$ZUNOR_BUILD/xvfb.display" ]; then
    export DISPLAY=":$(cat "$ZUNOR_BUILD/xvfb.display")"
fi
if ! command -v wine >/dev/null 2>&1; then
    echo "wine is not installed (run tools/setup.sh as root)" >&2
    exit 1
fi

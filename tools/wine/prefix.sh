#!/usr/bin/env bash
# prefix.sh create|destroy BUILD_DIR
# create: a fresh Wine prefix inside the build tree, with no window-manager wait under Xvfb and the
# test CA trusted in the prefix's machine ROOT store only, and its wineserver kept running until the
# destroy: the tests start Wine programs by the hundred, and each would otherwise wait for a new server
# and the prefix's services to start (about 1.5 s), and a caller that reads its output for those to end.
# destroy: stops its wineserver.
set -euo pipefail
action="$1"
export ZUNOR_BUILD="$2"
. "$(dirname "$0")/env.sh"
case "$action" in
create)
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # Wine links the profile's Desktop, Documents... to the host user's folders; the tests must never
    # write there, so each becomes a plain folder inside the prefix.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
    done
    # Without a window manager Wine waits ~2 s whenever a window is hidden; unmanaged windows don't.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    ca="$ZUNOR_BUILD/pki/ca.crt"
    if [ ! -f "$ca" ]; then
        echo "test CA missing: $ca (the pki fixture makes it)" >&2
        exit 1
    fi
    wine "$ZUNOR_BUILD/tools/certimport.exe" "$(winepath -w "$ca")"
    wineserver -w
    # The server stays; the services start now, holding nothing of a later caller's output.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
destroy)
    wineserver -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: prefix.sh create|destroy BUILD_DIR" >&2
    exit 2
    ;;
esac

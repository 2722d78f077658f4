#!/usr/bin/env bash
# Installs Zunor 2021 end to end: builds the installer, serves the sample product from the local Apache
# over HTTPS (https://localhost:8443, the installer's built-in server), and installs it into a private
# Wine prefix of the tree's own (build/<tree>/demo/wineprefix, which trusts that tree's test CA). With a
# display you click through the real window; without one it installs unattended (/S) and prints the
# report, the installed tree, the registry values and the shortcuts. Running it again updates the
# installation in place.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/setup.sh
. tools/wine/host.sh
zunor_choose_tree
cmake --preset "$ZUNOR_TREE" >/dev/null
cmake --build --preset "$ZUNOR_TREE"
echo "demo: the $ZUNOR_TREE installer (build/$ZUNOR_TREE): $ZUNOR_TREE_WHY"

build="$root/build/$ZUNOR_TREE"
demo="$build/demo"
port=8443
mkdir -p "$demo"
export ZUNOR_BUILD="$build" ZUNOR_WINEPREFIX="$demo/wineprefix" ZUNOR_KEEP_DISPLAY=1
. tools/wine/env.sh

bash tools/server/pki.sh "$build/pki" >/dev/null
bash tools/server/apache.sh start "$build" "$port"
stop_server() { bash tools/server/apache.sh stop "$build" "$port" || true; }
trap stop_server EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo: making the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
    done
    wine "$build/tools/certimport.exe" "$(winepath -w "$build/pki/ca.crt")"
    # The compatibility marks are written only where the user's Layers key exists, as on a machine
    # where compatibility settings were used before.
    wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers' /f >/dev/null 2>&1
    wineserver -w
fi

log_unix="$demo/install.log"
rm -f "$log_unix"
log_win=$(winepath -w "$log_unix")
set +e
if [ -n "${DISPLAY:-}" ]; then
    echo "demo: the installer's window is open; click through it (the log goes to $log_unix)"
    wine "$build/ZunorSetup.exe" "/LOG=$log_win"
    code=$?
else
    echo "demo: no display, installing unattended"
    wine "$build/ZunorSetup.exe" /S "/LOG=$log_win"
    code=$?
fi
set -e
wineserver -w
echo
echo "== exit code: $code"
echo "== install log ($log_unix):"
cat "$log_unix" 2>/dev/null || echo "(none)"
echo
program="$WINEPREFIX/drive_c/Program Files (x86)/Brantovik/zunor2021"
[ -d "$program" ] || program="$WINEPREFIX/drive_c/Program Files/Brantovik/zunor2021"
echo "== installed tree ($program):"
(cd "$program" 2>/dev/null && find . -type f -printf '%p  %s bytes\n' | sort) || echo "(nothing installed)"
echo
echo "== config.ini:"
cat "$program/config.ini" 2>/dev/null | tr -d '\r' || echo "(none)"
echo
echo "== compatibility layers (HKCU):"
wine reg query 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers' 2>/dev/null | tr -d '\r' | grep -v '^$' || true
echo
echo "== support components registered (HKCU\\Software\\Brantovik\\ZunorSample):"
wine reg query 'HKCU\Software\Brantovik\ZunorSample' 2>/dev/null | tr -d '\r' | grep -v '^$' || echo "(none)"
echo
echo "== shortcuts:"
find "$WINEPREFIX/drive_c" -name '*.lnk' \( -path '*Desktop*' -o -path '*Brantovik*' \) 2>/dev/null | while read -r lnk; do
    echo "$lnk"
    wine "$build/tools/wininfo.exe" link "$(winepath -w "$lnk")" | tr -d '\r' | sed 's/^/    /'
done
exit "$code"

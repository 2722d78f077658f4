#!/usr/bin/env bash
# capture.sh BUILD_DIR PORT [OUTDIR]
# Captures the directory-index pages that real servers make of one fixed folder tree, for the listing
# parser's tests: Apache's fancy and plain index (tools/server/apache.sh), nginx's autoindex
# (tools/server/nginx.sh), python's http.server, Caddy's browse, mini_httpd's, webfs's, H2O's and
# Tomcat's index (tools/server/<name>.sh), each run locally on PORT, PORT+1, ... PORT+8.
# Every page is fetched as the installer asks for it (the folder without its trailing slash,
# following the server's redirect) and stored byte for byte as OUTDIR/<server>/<folder>.html; webfs
# redirects that to plain http, so its pages are asked for with the slash.
# OUTDIR defaults to tests/unit/data/listings. BUILD_DIR holds the test PKI (made if missing).
# The pages in OUTDIR/iis/ are not captured (IIS runs on Windows only): they are written by hand in the
# form IIS's directory browsing documents, and this script leaves them alone.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: capture.sh BUILD_DIR PORT [OUTDIR]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(dirname "$(dirname "$here")")"
build="$(realpath -m "$1")"; port="$2"
out="$(realpath -m "${3:-$source_dir/tests/unit/data/listings}")"
docroot="$build/listings-docroot"
ca="$build/pki/ca.crt"

[ -f "$ca" ] || bash "$source_dir/tools/server/pki.sh" "$build/pki" >/dev/null

# The tree: names with blanks, "&", a non-ASCII letter, a long name, the archives, SHA256SUMS.
rm -rf "$docroot"
mkdir -p "$docroot/zunor/SUPORT" "$docroot/zunor/TEMPLATE"
for name in Zunor2021VK.exe updater.exe firme.mdb SETUP_ZUNOR.rar Zunor2021VK.rar "my file&b.txt" \
            "$(printf '\xc4\x8dvor.dat')" Zunor_kontni_plan_za_preduzetnike_i_pravna_lica_2021_verzija.dat SHA256SUMS; do
    printf '%s\n' "$name" >"$docroot/zunor/$name"
done
for name in ZunorGrid.ocx ZunorCalc.dll ZunorPrint.dll; do printf '%s\n' "$name" >"$docroot/zunor/SUPORT/$name"; done
for name in Faktura.rtf Izvod.txt Kontni_plan.csv; do printf '%s\n' "$name" >"$docroot/zunor/TEMPLATE/$name"; done
find "$docroot" -exec touch -h -d '2021-03-01 12:00:00' {} +
chmod -R a+rX "$docroot"

pids=()
cleanup() {
    bash "$source_dir/tools/server/apache.sh" stop "$build" "$port" || true
    bash "$source_dir/tools/server/apache.sh" stop "$build" $((port + 1)) || true
    bash "$source_dir/tools/server/nginx.sh" stop "$build" $((port + 2)) || true
    bash "$source_dir/tools/server/caddy.sh" stop "$build" $((port + 4)) || true
    bash "$source_dir/tools/server/mini_httpd.sh" stop "$build" $((port + 5)) || true
    bash "$source_dir/tools/server/webfs.sh" stop "$build" $((port + 6)) || true
    bash "$source_dir/tools/server/h2o.sh" stop "$build" $((port + 7)) || true
    bash "$source_dir/tools/server/tomcat.sh" stop "$build" $((port + 8)) || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

bash "$source_dir/tools/server/apache.sh" start "$build" "$port" "$docroot"
bash "$source_dir/tools/server/apache.sh" start "$build" $((port + 1)) "$docroot" --plain
bash "$source_dir/tools/server/nginx.sh" start "$build" $((port + 2)) "$docroot"
bash "$source_dir/tools/server/caddy.sh" start "$build" $((port + 4)) "$docroot"
bash "$source_dir/tools/server/mini_httpd.sh" start "$build" $((port + 5)) "$docroot"
bash "$source_dir/tools/server/webfs.sh" start "$build" $((port + 6)) "$docroot"
bash "$source_dir/tools/server/h2o.sh" start "$build" $((port + 7)) "$docroot"
bash "$source_dir/tools/server/tomcat.sh" start "$build" $((port + 8)) "$docroot"
python3 -m http.server $((port + 3)) --bind 127.0.0.1 --directory "$docroot" >/dev/null 2>&1 &
pids+=($!)
deadline=$((SECONDS + 20))
until curl -s -o /dev/null "http://127.0.0.1:$((port + 3))/"; do
    [ $SECONDS -lt $deadline ] || { echo "python http.server did not answer" >&2; exit 1; }
    sleep 0.1
done

capture() { # server origin [ending of the folder's address]
    mkdir -p "$out/$1"
    for folder in zunor zunor/SUPORT zunor/TEMPLATE; do
        curl -sS -f -L --cacert "$ca" -o "$out/$1/$(basename "$folder").html" "$2/$folder${3:-}"
    done
}
capture apache-fancy "https://localhost:$port"
capture apache-plain "https://localhost:$((port + 1))"
capture nginx "https://localhost:$((port + 2))"
capture python-http-server "http://127.0.0.1:$((port + 3))"
capture caddy "https://localhost:$((port + 4))"
capture mini-httpd "https://localhost:$((port + 5))"
capture webfs "https://localhost:$((port + 6))" /
capture h2o "https://localhost:$((port + 7))"
capture tomcat "https://localhost:$((port + 8))"
echo "captured into $out:"
(cd "$out" && find . -type f | sort)

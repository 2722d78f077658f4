#!/usr/bin/env bash
# Installs what building and testing the installer needs on Debian 12. Idempotent: when everything
# is already there it only checks and returns.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Both MinGW compilers: the win32 tree (the shipped installer) and its 64-bit twin always build.
pkgs=(cmake g++ make googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 xvfb x11-utils
      imagemagick apache2 openssl python3 curl wget nginx-light clang libclang-rt-14-dev xdotool fonts-dejavu-core
      fonts-wine osslsigncode caddy mini-httpd webfs squid h2o tomcat10)
# wine32 only where the kernel runs 32-bit x86 code; elsewhere it would install but never start.
. "$(dirname "$0")/wine/host.sh"
runs_i386=0
if zunor_runs_i386; then
    runs_i386=1
    pkgs+=(wine32:i386)
fi
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done

if [ ${#need[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${need[*]}; run this script as root" >&2
    exit 1
fi

echo "setup: installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "$runs_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
# The web servers and the proxy are started by the project's own scripts with their own configs only.
for svc in apache2 nginx caddy mini-httpd webfs squid h2o tomcat10; do
    if command -v systemctl >/dev/null 2>&1; then systemctl disable --now "$svc" >/dev/null 2>&1 || true; fi
    service "$svc" stop >/dev/null 2>&1 || true
done

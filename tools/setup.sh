#!/usr/bin/env bash
# Installs what building and testing the installer needs on Debian 12. Idempotent: when everything
# is already there it only checks and returns.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

pkgs=(cmake g++ make googletest g++-mingw-w64-i686 wine wine64 wine32:i386 xvfb x11-utils imagemagick
      apache2 openssl python3 curl wget nginx-light clang libclang-rt-14-dev xdotool fonts-dejavu-core fonts-wine)
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
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
# Apache and nginx are started by the project's own scripts with their own configs only.
for svc in apache2 nginx; do
    if command -v systemctl >/dev/null 2>&1; then systemctl disable --now "$svc" >/dev/null 2>&1 || true; fi
    service "$svc" stop >/dev/null 2>&1 || true
done

#!/usr/bin/env bash
# Installs what building and testing Tessivor needs, on Debian or Ubuntu.
# Only missing packages are installed: as root directly, otherwise through sudo.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev qt6-base-dev fonts-dejavu-core
    libcli11-dev libedit-dev)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
    echo "install-deps: apt-get not found; please install: ${missing[*]}" >&2
    exit 1
fi
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

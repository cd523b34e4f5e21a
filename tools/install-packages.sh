#!/usr/bin/env bash
# Installs whichever of the packages in tools/packages.txt are missing (Debian 12, apt-get).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v -e '^#' -e '^[[:space:]]*$' "$here/packages.txt")
missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi
echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) != 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

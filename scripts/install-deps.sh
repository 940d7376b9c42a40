#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt (or in the lists of scripts/ named
# as arguments: install-deps.sh packages.txt packages-fuzz.txt) that are not installed yet.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

lists=("$@")
[ ${#lists[@]} -gt 0 ] || lists=(packages.txt)

missing=()
for list in "${lists[@]}"; do
    while read -r package; do
        package="${package%%#*}"
        package="$(echo "$package" | tr -d '[:space:]')"
        [ -n "$package" ] || continue
        status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
        [ "$status" = "install ok installed" ] || missing+=("$package")
    done < "$here/$list"
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

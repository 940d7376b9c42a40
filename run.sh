#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo from the repository root (it reads assets/).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
./scripts/install-deps.sh
./scripts/build.sh build ""
exec ./build/velvet-cascade "$@"

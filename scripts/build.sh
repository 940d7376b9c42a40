#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh BUILD_DIR [address|thread]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build_dir="$1"
sanitize="${2:-}"
build_type=RelWithDebInfo
[ -n "$sanitize" ] && build_type=Debug
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" -DVC_SANITIZE="$sanitize" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

#!/usr/bin/env bash
# Installs what is missing, builds the optimised program and starts it on the user's display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/tools/install-packages.sh"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target vistrel
exec "$root/build/release/app/vistrel"

#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the debug build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, a time-boxed fuzzing run of every decoder,
# the installed tree and the Debian package, and the source format check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/tools/install-packages.sh"

jobs=$(nproc)
for preset in dev asan; do
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "=== $preset: tests"
    ctest --preset "$preset" -j "$jobs"
done

echo "=== fuzzing every decoder for ${VISTREL_FUZZ_SECONDS:-60}s"
"$root/tools/fuzz.sh" "${VISTREL_FUZZ_SECONDS:-60}"

echo "=== install, desktop entry, metadata and Debian package"
"$root/tools/package-check.sh"

echo "=== format check"
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
echo "=== all checks passed"

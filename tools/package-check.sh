#!/usr/bin/env bash
# Builds the optimised program, installs it into a temporary prefix and checks the installed tree,
# validates the desktop entry and the AppStream metadata, builds the Debian package and has lintian
# check it. Called by tools/test-all.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build/release --prefix "$prefix" >/dev/null
expected=(
    bin/vistrel
    share/applications/org.vistrel.Vistrel.desktop
    share/metainfo/org.vistrel.Vistrel.metainfo.xml
    share/icons/hicolor/scalable/apps/vistrel.svg
    share/man/man1/vistrel.1.gz
    share/doc/vistrel/copyright
    share/doc/vistrel/changelog.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/vistrel.png")
done
for file in "${expected[@]}"; do
    [[ -f $prefix/$file ]] || { echo "not installed: $file" >&2; exit 1; }
done
[[ -x $prefix/bin/vistrel ]] || { echo "bin/vistrel is not executable" >&2; exit 1; }
desktop-file-validate "$prefix/share/applications/org.vistrel.Vistrel.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.vistrel.Vistrel.metainfo.xml"
echo "installed tree: ${#expected[@]} files present, desktop entry and metainfo valid"

(cd build/release && cpack -G DEB >/dev/null)
package=$(ls build/release/vistrel_*_*.deb | head -n 1)
dpkg-deb -f "$package" Package Version Section Depends
listing=$(dpkg-deb -c "$package")
for file in "${expected[@]}"; do
    grep -q "\./usr/$file\$" <<<"$listing" || { echo "package lacks /usr/$file" >&2; exit 1; }
done
# Lintian warns when run as root (as in CI) but checks the same.
lintian --fail-on error "$package"
echo "package $package: contents and lintian checked"

#!/usr/bin/env bash
# Makes the release in dist/: the Windows zip and installer (from the build of
# scripts/build-windows.sh) and the Debian package (cpack), and checks the
# Linux desktop entry and AppStream metadata.
# Usage: scripts/package.sh [--windows]   (--windows: the Windows files only)
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/windows-env.sh"
ensure_packages "${BUILD_PACKAGES[@]}" zip nsis desktop-file-utils appstream dpkg-dev binutils-mingw-w64-x86-64
cd "$ENWLINK_ROOT"
version=$(sed -n 's/^project(enwlink VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -f build-windows/enwlink.exe ] || { echo "No Windows build: run scripts/build-windows.sh first" >&2; exit 1; }
windows_only=false
[ "${1:-}" = "--windows" ] && windows_only=true
rm -rf dist
mkdir -p dist
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Windows: the files, with Windows line ends, in a folder of their own.
name="enwlink-$version-windows-x64"
stage="$work/$name"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/enwlink.exe" build-windows/enwlink.exe
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
crlf packaging/windows/README.txt "$stage/README.txt"
crlf LICENSE "$stage/LICENSE.txt"
crlf "$QT_WINDOWS_PREFIX/LICENSE.LGPL3" "$stage/LICENSE-Qt-LGPL-3.0.txt"
{
    echo "enwlink.exe contains Qt 5 (qtbase), linked statically, under the GNU Lesser"
    echo "General Public License version 3 (LICENSE-Qt-LGPL-3.0.txt). It was built from"
    echo "Debian's source package:"
    echo
    sed 's/^/    /' "$QT_WINDOWS_PREFIX/SOURCE.txt"
    echo
    echo "scripts/build-windows.sh in enwlink's source repository fetches that source,"
    echo "applies those patches, builds Qt and links enwlink.exe against it; put a"
    echo "modified Qt in its place to relink enwlink with it."
} >"$work/Qt-source.txt"
crlf "$work/Qt-source.txt" "$stage/Qt-source.txt"
(cd "$work" && zip -qr "$ENWLINK_ROOT/dist/$name.zip" "$name")

cp resources/enwlink.ico "$stage/enwlink.ico"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$ENWLINK_ROOT/dist/enwlink-$version-setup.exe" \
    packaging/windows/enwlink.nsi

if $windows_only; then
    ls -l dist
    exit 0
fi

# Debian: a Release build installed under /usr, packed by cpack.
desktop-file-validate packaging/linux/enwlink.desktop
appstreamcli validate --no-net packaging/linux/org.enwlink.Enwlink.metainfo.xml
build_in build-deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
(cd build-deb && cpack -G DEB -B "$ENWLINK_ROOT/dist/cpack" >/dev/null)
mv dist/cpack/enwlink_*.deb dist/
rm -rf dist/cpack
ls -l dist

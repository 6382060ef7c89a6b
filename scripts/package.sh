#!/usr/bin/env bash
# Makes the release: the Windows zip and installer (from the build of
# scripts/build-windows.sh) and the Debian package, built with Debian's
# hardening flags and checked with lintian, plus SHA256SUMS, in dist/ (or the
# folder given with --out, which is made anew).
# Usage: scripts/package.sh [--deb | --windows] [--out DIR]
#   Without --deb or --windows it makes what this machine can and says what it left out.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/windows-env.sh"
cd "$ENWLINK_ROOT"
what=all
out="$ENWLINK_ROOT/dist"
while [ $# -gt 0 ]; do
    case "$1" in
        --deb) what=deb ;;
        --windows) what=windows ;;
        --out) out=$(realpath -m "${2:?--out needs a folder}"); shift ;;
        *) echo "usage: scripts/package.sh [--deb | --windows] [--out DIR]" >&2; exit 2 ;;
    esac
    shift
done
version=$(sed -n '1s/^enwlink (\([0-9.]*\)).*/\1/p' packaging/changelog)
windows=false
deb=false
case "$what" in
    windows) windows=true ;;
    deb) deb=true ;;
    all)
        deb=true
        if [ -f build-windows/enwlink.exe ]; then
            windows=true
        else
            echo "Leaving out the Windows zip and installer: no Windows build (scripts/build-windows.sh makes one)"
        fi ;;
esac
if $windows && [ ! -f build-windows/enwlink.exe ]; then
    echo "No Windows build: run scripts/build-windows.sh first" >&2
    exit 1
fi
packages=("${BUILD_PACKAGES[@]}" dpkg-dev)
$windows && packages+=(zip nsis binutils-mingw-w64-x86-64)
$deb && packages+=(desktop-file-utils appstream lintian)
ensure_packages "${packages[@]}"
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Windows: the zip and the installer.
windows_files() {
    # The files, with Windows line ends, in a folder of their own.
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
    (cd "$work" && zip -qr "$out/$name.zip" "$name")

    cp resources/enwlink.ico "$stage/enwlink.ico"
    makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out/enwlink-$version-setup.exe" \
        packaging/windows/enwlink.nsi
}

# Debian: a Release build with Debian's hardening flags (stack protector,
# fortify, full RELRO and bind now), installed under /usr, packed by cpack.
deb_file() {
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    build_in build-deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    desktop-file-validate packaging/linux/enwlink.desktop
    appstreamcli validate --no-net build-deb/org.enwlink.Enwlink.metainfo.xml
    (cd build-deb && cpack -G DEB -B "$work/cpack" >/dev/null)
    mv "$work"/cpack/enwlink_*.deb "$out/"
    lintian --fail-on error,warning "$out"/enwlink_*.deb
}

$windows && windows_files
$deb && deb_file
(cd "$out" && sha256sum -- $(ls | grep -v '^SHA256SUMS$') >SHA256SUMS)
ls -l "$out"

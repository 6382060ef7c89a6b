#!/usr/bin/env bash
# Cross-builds enwlink.exe and the test executables for 64-bit Windows into
# build-windows/. The first run also builds a static Qt 5 from Debian's qtbase
# source package (with its security patches) into a cache folder outside the
# repository, which later runs reuse: that step takes 30-50 minutes.
# Usage: scripts/build-windows.sh [--qt-only]
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/windows-env.sh"

ensure_packages cmake make g++ perl python3 patch xz-utils dpkg-dev \
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64

build_static_qt() {
    local work="$ENWLINK_CACHE/qt-build"
    local list=/etc/apt/sources.list.d/enwlink-qtbase-src.sources
    rm -rf "$work"
    mkdir -p "$work/download"

    # Debian's source entry for qtbase, our own file, removed again when done.
    require_root "to add Debian's source entry for Qt to /etc/apt and update the package lists"
    $SUDO tee "$list" >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    trap '$SUDO rm -f "'"$list"'"; $SUDO apt-get update -qq || true' EXIT
    $SUDO apt-get update -qq
    (cd "$work/download" && apt-get source --download-only -qq qtbase-opensource-src)
    $SUDO rm -f "$list"
    trap - EXIT
    $SUDO apt-get update -qq || true

    # Upstream tree plus only the CVE fixes of Debian's patch series.
    local orig debian_tar
    orig=$(ls "$work"/download/qtbase-opensource-src_*.orig.tar.xz)
    debian_tar=$(ls "$work"/download/qtbase-opensource-src_*.debian.tar.xz)
    mkdir -p "$work/src"
    tar -xf "$orig" -C "$work/src" --strip-components=1
    tar -xf "$debian_tar" -C "$work"
    local patch applied=()
    while read -r patch _; do
        case "$patch" in
            CVE-*)
                patch -d "$work/src" -p1 -s <"$work/debian/patches/$patch"
                applied+=("$patch")
                ;;
        esac
    done <"$work/debian/patches/series"
    echo "Applied ${#applied[@]} security patches: ${applied[*]}"

    mkdir -p "$work/build"
    (cd "$work/build" && "$work/src/configure" \
        -prefix "$QT_WINDOWS_PREFIX" \
        -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
        -static -static-runtime -release -opensource -confirm-license \
        -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-vulkan \
        -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
        -no-feature-sql -no-feature-network -no-feature-printer \
        -no-feature-tabletevent >"$work/configure.log" 2>&1) \
        || { tail -40 "$work/configure.log"; exit 1; }
    make -C "$work/build" -j"$(nproc)" >"$work/make.log" 2>&1 \
        || { tail -40 "$work/make.log"; exit 1; }
    make -C "$work/build" install >"$work/install.log" 2>&1 \
        || { tail -40 "$work/install.log"; exit 1; }

    # Where it came from, shipped with every release beside Qt's licence.
    local version
    version=$(basename "$debian_tar" .debian.tar.xz | sed 's/^qtbase-opensource-src_//')
    cp "$work/src/LICENSE.LGPL3" "$QT_WINDOWS_PREFIX/LICENSE.LGPL3"
    printf '%s\n' "qtbase-opensource-src $version (Debian bookworm), upstream tree plus:" \
        "${applied[@]}" >"$QT_WINDOWS_PREFIX/SOURCE.txt"
    rm -rf "$work"
    touch "$QT_WINDOWS_PREFIX/.complete"
}

if [ -f "$QT_WINDOWS_PREFIX/.complete" ]; then
    echo "Reusing the static Qt for Windows in $QT_WINDOWS_PREFIX"
else
    echo "Building a static Qt for Windows into $QT_WINDOWS_PREFIX (30-50 minutes, once)"
    started=$SECONDS
    build_static_qt
    echo "Static Qt built in $((SECONDS - started)) s"
fi
[ "${1:-}" = "--qt-only" ] && exit 0

cmake -S "$ENWLINK_ROOT" -B "$ENWLINK_ROOT/build-windows" \
    -DCMAKE_TOOLCHAIN_FILE="$ENWLINK_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$QT_WINDOWS_PREFIX" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$ENWLINK_ROOT/build-windows" --parallel "$(nproc)"

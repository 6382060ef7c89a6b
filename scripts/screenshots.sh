#!/usr/bin/env bash
# Takes the README's pictures (docs/window.png, docs/stopping.png,
# docs/finished-run.png, and docs/high-dpi.png at 192 dots per inch) in a real
# window under Xvfb, from a copy of the sample library in a folder of its own,
# whose paths the console shows: give a neutral one, for example
# /home/user/enwlink (it must not exist yet; it is removed again).
# Usage: scripts/screenshots.sh [FOLDER]   (default: build-release/screenshots/enwlink)
set -euo pipefail
source "$(dirname "$0")/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth x11-xserver-utils fonts-wqy-microhei
build_in build-release -DCMAKE_BUILD_TYPE=Release -DENWLINK_BENCH=ON -DBUILD_TESTING=OFF
neutral=$(realpath -m "${1:-$ENWLINK_ROOT/build-release/screenshots/enwlink}")
[ -e "$neutral" ] && { echo "$neutral exists already; move it away first" >&2; exit 1; }
mkdir -p "$neutral"
trap 'rm -rf "$neutral"' EXIT
cp -r "$ENWLINK_ROOT/examples" "$neutral/examples"
(cd "$neutral" && QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$ENWLINK_ROOT/build-release/bench/enwbench" --screenshots "$neutral/examples" "$ENWLINK_ROOT/docs")
# A large screen: the X server says 192 dots per inch, as a desktop set to 200% does.
(cd "$neutral" && QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 2560x2048x24 -dpi 192" \
    sh -c 'echo "Xft.dpi: 192" | xrdb -merge && exec "$0" --screenshots "$1" "$2" --high-dpi' \
    "$ENWLINK_ROOT/build-release/bench/enwbench" "$neutral/examples" "$ENWLINK_ROOT/docs")
echo "Updated docs/window.png, docs/stopping.png, docs/finished-run.png and docs/high-dpi.png"

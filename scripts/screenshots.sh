#!/usr/bin/env bash
# Takes the README's pictures (docs/window.png, docs/finished-run.png) in a real
# window under Xvfb, from a copy of the sample library in a folder of its own,
# whose paths the console shows: give a neutral one, for example
# /home/user/enwlink (it must not exist yet; it is removed again).
# Usage: scripts/screenshots.sh [FOLDER]   (default: build-release/screenshots/enwlink)
set -euo pipefail
source "$(dirname "$0")/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth fonts-wqy-microhei
build_in build-release -DCMAKE_BUILD_TYPE=Release -DENWLINK_BENCH=ON -DBUILD_TESTING=OFF
neutral=$(realpath -m "${1:-$ENWLINK_ROOT/build-release/screenshots/enwlink}")
[ -e "$neutral" ] && { echo "$neutral exists already; move it away first" >&2; exit 1; }
mkdir -p "$neutral"
trap 'rm -rf "$neutral"' EXIT
cp -r "$ENWLINK_ROOT/examples" "$neutral/examples"
(cd "$neutral" && QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$ENWLINK_ROOT/build-release/bench/enwbench" --screenshots "$neutral/examples" "$ENWLINK_ROOT/docs")
echo "Updated docs/window.png and docs/finished-run.png"

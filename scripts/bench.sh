#!/usr/bin/env bash
# Builds the benchmark (Release) in build-release/ and runs it; prints one table.
# Usage: scripts/bench.sh [--quick]   (--quick: the two smallest sizes only)
set -euo pipefail
source "$(dirname "$0")/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
build_in build-release -DCMAKE_BUILD_TYPE=Release -DENWLINK_BENCH=ON -DBUILD_TESTING=OFF
export QT_QPA_PLATFORM=offscreen
exec "$ENWLINK_ROOT/build-release/bench/enwbench" "$@"

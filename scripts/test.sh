#!/usr/bin/env bash
# Installs what is missing, builds in build/ and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
build_in build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$ENWLINK_ROOT/build" --output-on-failure --timeout 600

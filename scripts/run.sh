#!/usr/bin/env bash
# Installs what is missing, builds in build/ and opens the window.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
build_in build
exec "$ENWLINK_ROOT/build/enwlink" "$@"

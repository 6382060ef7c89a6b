#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless: once
# in build/, and once more in build-asan/ under AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero when anything fails.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
# bibutils reads the RIS and BibTeX outputs back in the round-trip test.
ensure_packages "${BUILD_PACKAGES[@]}" python3 bibutils
export QT_QPA_PLATFORM=offscreen

build_in build
ctest --test-dir "$ENWLINK_ROOT/build" --output-on-failure --timeout 900

build_in build-asan -DENWLINK_SANITIZE=ON
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:suppressions=$ENWLINK_ROOT/tests/sanitizers/asan.supp"
export LSAN_OPTIONS="suppressions=$ENWLINK_ROOT/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$ENWLINK_ROOT/build-asan" --output-on-failure --timeout 900

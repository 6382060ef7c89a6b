#!/usr/bin/env bash
# Builds the fuzz target with clang and libFuzzer in build-fuzz/ and runs it.
# Usage: scripts/fuzz.sh SECONDS
# Inputs that crash land in build-fuzz/crashes/; copy each into
# tests/fuzz/regressions/ so that the test suite replays it.
set -euo pipefail
seconds="${1:?usage: scripts/fuzz.sh SECONDS}"
source "$(dirname "$0")/setup.sh"
ensure_packages cmake make clang libclang-rt-14-dev qtbase5-dev
CC=clang CXX=clang++ build_in build-fuzz -DENWLINK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
mkdir -p "$ENWLINK_ROOT/build-fuzz/corpus" "$ENWLINK_ROOT/build-fuzz/crashes"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$ENWLINK_ROOT/build-fuzz/tests/fuzz_enw" -max_total_time="$seconds" -max_len=100000 \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$ENWLINK_ROOT/build-fuzz/crashes/" \
    "$ENWLINK_ROOT/build-fuzz/corpus" "$ENWLINK_ROOT/tests/fuzz/corpus"

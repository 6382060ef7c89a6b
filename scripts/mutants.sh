#!/usr/bin/env bash
# Plants faults one at a time in the product lines changed since a commit,
# rebuilds, runs the suite without the stress tests, puts the file back and
# prints which tests caught each fault. Usage: scripts/mutants.sh BASE
# [--max N] [--seed S] [--only TEXT] [--list]; --help says more.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}" python3
exec python3 "$ENWLINK_ROOT/scripts/mutants.py" "$@"

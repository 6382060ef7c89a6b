# Shared by run.sh, test.sh and bench.sh: installs what the build needs (Debian
# packages, only when missing) and builds into the given folder.
# Usage: source scripts/setup.sh; ensure_packages PKG...; build_in DIR [CMAKE ARGS...]

ENWLINK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_PACKAGES=(cmake make g++ qtbase5-dev)

# What runs a command as root: nothing for root, else sudo.
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Says in one line what needs root and why, and stops, when this is neither
# root nor allowed to use sudo.
require_root() { # WHY
    [ "$(id -u)" -eq 0 ] && return 0
    command -v sudo >/dev/null && return 0
    echo "This step needs root (or sudo) $1; run it as root or with sudo." >&2
    exit 1
}

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        require_root "to install ${missing[*]} with apt-get"
        $SUDO apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build_in() {
    local dir="$1"
    shift
    cmake -S "$ENWLINK_ROOT" -B "$ENWLINK_ROOT/$dir" "$@" >/dev/null
    cmake --build "$ENWLINK_ROOT/$dir" --parallel "$(nproc)"
}

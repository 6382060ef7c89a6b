# Shared by run.sh, test.sh and bench.sh: installs what the build needs (Debian
# packages, only when missing) and builds into the given folder.
# Usage: source scripts/setup.sh; ensure_packages PKG...; build_in DIR [CMAKE ARGS...]

ENWLINK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_PACKAGES=(cmake make g++ qtbase5-dev)

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
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build_in() {
    local dir="$1"
    shift
    cmake -S "$ENWLINK_ROOT" -B "$ENWLINK_ROOT/$dir" "$@" >/dev/null
    cmake --build "$ENWLINK_ROOT/$dir" --parallel "$(nproc)"
}

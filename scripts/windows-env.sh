# Shared by the Windows scripts: where the static Qt for Windows is cached.
ENWLINK_CACHE="${ENWLINK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/enwlink}"
QT_WINDOWS_PREFIX="$ENWLINK_CACHE/qt5-static-win64"

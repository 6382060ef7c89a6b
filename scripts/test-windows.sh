#!/usr/bin/env bash
# Runs the Windows build of the test suite (scripts/build-windows.sh) under wine,
# headless (Xvfb), twice: on code page 936 (Chinese, GBK) and on code page 1252
# (Western). The stress tests stay out: they lean on Unix. Then installs the
# release (scripts/package.sh --windows, into build-windows/installer; dist/ is
# left alone) as a user would and removes it again.
# Usage: scripts/test-windows.sh [--screenshot FILE [HIGH_DPI_FILE]]
# Exits non-zero when a test fails in either run, or the installer does not work.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/windows-env.sh"
ensure_packages wine wine64 xvfb xauth xdotool imagemagick locales fonts-wqy-microhei fonts-liberation
bin="$ENWLINK_ROOT/build-windows"
installer="$bin/installer" # the test's own release, so that dist/ stays as it is
[ -x "$bin/tests/tst_reader.exe" ] || { echo "No Windows build: run scripts/build-windows.sh first" >&2; exit 1; }

# zh_CN.UTF-8 gives wine code page 936; C.UTF-8 gives 1252.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    require_root "to add the zh_CN.UTF-8 locale to /etc/locale.gen and generate it"
    $SUDO sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi

# Wine prefixes of our own, one per code page so that both run at once, each
# made once: Tahoma (the dialog font) is not offered to Qt by wine, so Liberation
# Sans stands in for it.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
use_prefix() { # NAME
    export WINEPREFIX="$ENWLINK_CACHE/wineprefix-$1"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Making the wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /t REG_SZ /d "Liberation Sans" /f \
            >/dev/null 2>&1
        wineserver -w
    fi
}

# Qt Test sends its output to the debugger on Windows unless told otherwise;
# wine hands variables to Windows programs without their WINE prefix.
export WINEQT_FORCE_STDERR_LOGGING=1
tests=(tst_dialog tst_console "tst_app -style windows" tst_reader tst_collector tst_distance
       tst_writer tst_matcher tst_pickers tst_batchrun tst_platform tst_commandline
       "fuzz_replay $ENWLINK_ROOT/tests/fuzz/corpus $ENWLINK_ROOT/tests/fuzz/regressions")

run_suite() { # CODE-PAGE LOCALE
    local name="$1" locale="$2" failed=0 passed=0 skipped=0 broken=0 line test status
    echo "== Code page $name ($locale)"
    for test in "${tests[@]}"; do
        set -- $test
        local program="$1" exe="$bin/tests/$1.exe"
        shift
        local log started=$SECONDS
        log=$(cd "$bin/tests" && LC_ALL="$locale" timeout 600 wine "$exe" "$@" 2>&1) && status=0 || status=$?
        echo "$program: $((SECONDS - started)) s"
        line=$(printf '%s\n' "$log" | grep -a '^Totals:' | tail -1 || true)
        if [ -n "$line" ]; then
            passed=$((passed + $(sed 's/.*Totals: \([0-9]*\) passed.*/\1/' <<<"$line")))
            failed=$((failed + $(sed 's/.* \([0-9]*\) failed.*/\1/' <<<"$line")))
            skipped=$((skipped + $(sed 's/.* \([0-9]*\) skipped.*/\1/' <<<"$line")))
        elif [ "$status" -eq 0 ]; then
            passed=$((passed + 1))
        fi
        if [ "$status" -ne 0 ]; then
            broken=$((broken + 1))
            printf '%s\n' "$log" | grep -a -E '^(FAIL|   |QFATAL)' | head -40
            echo "$program: exit status $status"
        fi
        printf '%s\n' "$log" | grep -a '^SKIP' | sed "s/^/  ($program) /" || true
    done
    echo "Code page $name: $passed passed, $failed failed, $skipped skipped"
    command_line "$locale" || broken=$((broken + 1))
    [ "$broken" -eq 0 ]
}

# The GUI program from a command line: its usage, and a run on the sample
# library whose lines reach a redirected standard output and whose exit status
# says the file was written.
command_line() { # LOCALE
    local out help status
    out=$(mktemp -d)
    help=$(LC_ALL="$1" wine "$bin/enwlink.exe" --help 2>&1) || true
    LC_ALL="$1" wine "$bin/enwlink.exe" 'Z:'"$ENWLINK_ROOT"'/examples/library.enw' \
        'Z:'"$ENWLINK_ROOT"'/examples/fulltexts' 'Z:'"$out"'/linked.enw' >"$out/stdout" 2>"$out/stderr" \
        && status=0 || status=$?
    if grep -q 'SOURCE FOLDER OUTPUT' <<<"$help" && [ "$status" -eq 0 ] && [ -s "$out/linked.enw" ] \
        && grep -aq '20/23' "$out/stdout"; then
        echo "Command line: usage and a run (exit status 0) as expected"
        rm -rf "$out"
        return 0
    fi
    echo "Command line: exit status $status; usage and output follow" >&2
    printf '%s\n' "$help" | head -5 >&2
    head -5 "$out/stdout" "$out/stderr" >&2
    rm -rf "$out"
    return 1
}

# The installer, as a user runs it: installed silently, the installed program
# started from where the installer put it, its window shown and closed again,
# everything removed by the uninstaller. With a file name, the program is first
# driven through a run on the sample library (its file dialogs answered by
# typing) and pictured.
install_check() { # [SCREENSHOT [HIGH_DPI_SCREENSHOT]]
    local setup program="$WINEPREFIX/drive_c/Program Files/enwlink" started window
    local menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/enwlink"
    setup=$(ls "$installer"/enwlink-*-setup.exe)
    echo "== Installer $(basename "$setup"), code page 936"
    export LC_ALL=zh_CN.UTF-8
    wine "$setup" /S
    wineserver -w
    [ -f "$program/enwlink.exe" ] && [ -f "$menu/enwlink.lnk" ] && [ -f "$program/uninstall.exe" ] \
        || { echo "the installer left no program, shortcut or uninstaller" >&2; return 1; }
    wine 'C:\Program Files\enwlink\enwlink.exe' &
    started=$!
    window=$(timeout 120 xdotool search --sync --onlyvisible --name 'Enw' | head -1) || true
    [ -n "$window" ] || { echo "the installed program showed no window" >&2; return 1; }
    echo "Started: window \"$(xdotool getwindowname "$window")\""
    sleep 2
    if [ -n "${1:-}" ]; then
        local sample=/tmp/enwlink-sample
        rm -rf "$sample" && mkdir -p "$sample" && cp -r "$ENWLINK_ROOT/examples" "$sample/"
        pick() { # X Y PATH: the row's "..." button, then the path typed into its dialog
            xdotool mousemove --window "$window" "$1" "$2" click 1
            sleep 4
            xdotool type --delay 30 "$3"
            xdotool key Return
            sleep 3
        }
        pick 1160 21 'Z:\tmp\enwlink-sample\examples\library.enw'
        pick 1160 49 'Z:\tmp\enwlink-sample\examples\library-linked.enw'
        pick 1160 78 'Z:\tmp\enwlink-sample\examples\fulltexts'
        xdotool mousemove --window "$window" 718 107 click 1
        sleep 5
        import -window "$window" "$1" && echo "Pictured a run on the sample library in $1"
        rm -rf "$sample"
    fi
    xdotool windowfocus --sync "$window" key Escape
    timeout 60 bash -c "while kill -0 $started 2>/dev/null; do sleep 1; done" \
        || { echo "the program did not close" >&2; return 1; }
    echo "Closed"
    if [ -n "${2:-}" ]; then
        # A large screen: Windows set to 192 dots per inch (200%); the window scales.
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null
        wineserver -w
        wine 'C:\Program Files\enwlink\enwlink.exe' &
        started=$!
        window=$(timeout 120 xdotool search --sync --onlyvisible --name 'Enw' | head -1) || true
        sleep 3
        [ -n "$window" ] && import -window "$window" "$2" && echo "Pictured the window at 192 dpi in $2"
        [ -n "$window" ] && xdotool windowfocus --sync "$window" key Escape
        timeout 60 bash -c "while kill -0 $started 2>/dev/null; do sleep 1; done" || true
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
        wineserver -w
    fi
    wine 'C:\Program Files\enwlink\uninstall.exe' /S
    sleep 5
    wineserver -w
    [ ! -e "$program/enwlink.exe" ] && [ ! -e "$menu" ] || { echo "the uninstaller left files" >&2; return 1; }
    echo "Uninstalled"
    unset LC_ALL
}

# Inside a virtual display: one piece of the work (see the end of this file).
if [ "${1:-}" = "--inside" ]; then
    set +e
    case "$2" in
        936) use_prefix 936 && run_suite 936 zh_CN.UTF-8 ;;
        1252) use_prefix 1252 && run_suite 1252 C.UTF-8 ;;
        install) use_prefix install && install_check "${3:-}" "${4:-}" ;;
    esac
    status=$?
    wineserver -k 2>/dev/null || true
    exit "$status"
fi

# The two code pages side by side, each in a display and a wine prefix of its
# own, then the installer.
"$ENWLINK_ROOT/scripts/package.sh" --windows --out "$installer" >/dev/null
screenshot=""
highdpi=""
[ "${1:-}" = "--screenshot" ] && screenshot=$(realpath "$2")
[ "${1:-}" = "--screenshot" ] && [ -n "${3:-}" ] && highdpi=$(realpath "$3")
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
in_display() { xvfb-run -a -n "$1" -s "-screen 0 2560x1600x24" "$0" --inside "${@:2}" >"$logs/$2.log" 2>&1; }
in_display 130 936 & first=$!
in_display 160 1252 & second=$!
result=0
wait "$first" || result=1
wait "$second" || result=1
cat "$logs/936.log" "$logs/1252.log"
in_display 190 install "$screenshot" "$highdpi" || result=1
cat "$logs/install.log"
exit "$result"

# Which Windows build this host runs, and how to run it; sourced by every command that starts a
# Windows program (scripts/run, scripts/test, the benchmarks, the end-to-end tests).
#
# Some Linux hosts (many virtual machines among them) refuse every 32-bit program: an i386
# execve gives "Exec format error", Wine's 32-bit loader included. There the x86_64 build runs
# under Wine's 64-bit loader in a 64-bit prefix instead. KELVO_ARCH=win32|win64 forces a build.
#
# After kelvo_choose_arch:
#   KELVO_ARCH         win32 or win64
#   KELVO_ARCH_REASON  one sentence: why that build
#   KELVO_BUILD        the build folder of that architecture ($KELVO_ROOT/build/$KELVO_ARCH)
#   KELVO_REG_VIEW     /reg:32 or /reg:64, the registry view the program's classes are read from
#   WINELOADER, WINEARCH  exported for Wine's own tools
# kelvo_wine ARGS runs a Windows program with the chosen loader.

KELVO_ROOT=${KELVO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

# Succeeds when the kernel runs 32-bit x86 programs. The probe is a 93-byte static i386 ELF that
# only calls exit(0), so it needs no 32-bit library. KELVO_HOST_RUNS_32BIT=0|1 overrides it (to try
# the 64-bit-only paths on any host).
kelvo_host_runs_32bit() {
    case "${KELVO_HOST_RUNS_32BIT:-}" in
    0) return 1 ;;
    1) return 0 ;;
    esac
    if [ -z "${_KELVO_PROBE_RESULT:-}" ]; then
        local probe
        probe=$(mktemp /tmp/kelvo-probe32.XXXXXX) || return 1
        # ELF header (52 bytes), one PT_LOAD program header (32), code: mov eax,1; xor ebx,ebx; int 0x80
        printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'"\
"'\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000'"\
"'\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'"\
"'\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'"\
"'\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000'"\
"'\270\001\000\000\000\061\333\315\200' >"$probe"
        chmod +x "$probe"
        if "$probe" 2>/dev/null; then _KELVO_PROBE_RESULT=yes; else _KELVO_PROBE_RESULT=no; fi
        rm -f "$probe"
    fi
    [ "$_KELVO_PROBE_RESULT" = yes ]
}

# The first executable of the candidates: Wine's loaders, which Debian keeps in Wine's library
# folder, off the PATH (its `wine` wrapper picks the 32-bit loader whenever wine32 is installed).
kelvo_first_executable() {
    local c
    for c in "$@"; do
        [ -n "$c" ] && [ -x "$c" ] && { echo "$c"; return 0; }
    done
    return 1
}
kelvo_wine64_loader() {
    kelvo_first_executable /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
        /opt/wine-stable/bin/wine64 "$(command -v wine64 2>/dev/null)"
}
kelvo_wine32_loader() {
    kelvo_first_executable /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine /opt/wine-stable/bin/wine \
        "$(command -v wine 2>/dev/null)"
}

# Chooses the build and the loader; prints a sentence and fails when the choice cannot run here.
kelvo_choose_arch() {
    local runs32=no
    kelvo_host_runs_32bit && runs32=yes
    case "${KELVO_ARCH:-}" in
    win32)
        KELVO_ARCH_REASON="forced by KELVO_ARCH=win32"
        if [ "$runs32" != yes ]; then
            echo "KELVO_ARCH=win32 cannot run here: this host's kernel refuses 32-bit programs" \
                "(Exec format error), so Wine's 32-bit loader cannot start; unset KELVO_ARCH or use win64." >&2
            return 1
        fi
        ;;
    win64) KELVO_ARCH_REASON="forced by KELVO_ARCH=win64" ;;
    '')
        if [ "$runs32" = yes ]; then
            KELVO_ARCH=win32
            KELVO_ARCH_REASON="this host runs 32-bit programs"
        else
            KELVO_ARCH=win64
            KELVO_ARCH_REASON="this host refuses 32-bit programs"
        fi
        ;;
    *)
        echo "KELVO_ARCH must be win32 or win64, not '$KELVO_ARCH'." >&2
        return 1
        ;;
    esac
    KELVO_BUILD=$KELVO_ROOT/build/$KELVO_ARCH
    if [ "$KELVO_ARCH" = win32 ]; then
        KELVO_REG_VIEW=/reg:32
        export WINEARCH=win32
        WINELOADER=$(kelvo_wine32_loader)
    else
        KELVO_REG_VIEW=/reg:64
        export WINEARCH=win64
        WINELOADER=$(kelvo_wine64_loader)
    fi
    if [ -z "$WINELOADER" ]; then
        echo "No Wine loader for $KELVO_ARCH was found; run scripts/install-deps (it installs" \
            "Debian's wine packages) or install Wine by hand." >&2
        return 1
    fi
    export WINELOADER KELVO_ARCH KELVO_BUILD KELVO_REG_VIEW KELVO_ARCH_REASON
    # Wine's own scripts (wineboot, winepath) start WINESERVER beside the chosen loader.
    if [ -x "$(dirname "$WINELOADER")/wineserver" ]; then
        export WINESERVER=$(dirname "$WINELOADER")/wineserver
    fi
}

kelvo_wine() { "$WINELOADER" "$@"; }
# Wine's own background processes (services, devices, RPC) start with the first program a server
# runs and keep that program's standard output and error open while they live: under a persistent
# server, for good. So a persistent server starts them at once, with nothing to hold; otherwise a
# later program run with a pipe (CTest's test listing, a $(...) in a script) keeps the reader
# waiting for an end of output that never comes. The server itself holds nothing either.
# A server of the prefix that is still running holds the prefix's lock, and a new server then exits
# at once, quietly (status 2). Every server the loader starts here is one of those while it ends:
# Debian's wineserver script gives it -p0, so it stops with its last program, after the background
# processes. A program run just before (a `wine reg add`) would thus leave the prefix without a
# persistent server, each later program would start and stop the background processes anew, and
# one started while they stop can die at once without a word. So -p first waits for that server.
kelvo_wineserver() {
    if [ "${1:-}" = -p ]; then
        if ! timeout 60 "${WINESERVER:-wineserver}" -w; then
            echo "kelvo_wineserver -p: a Wine server of $WINEPREFIX still serves programs after 60 s;" \
                "end them first (kelvo_wineserver -k)." >&2
            return 1
        fi
        if ! "${WINESERVER:-wineserver}" "$@" </dev/null >/dev/null 2>&1; then
            echo "kelvo_wineserver -p: no persistent Wine server could be started for $WINEPREFIX." >&2
            return 1
        fi
        kelvo_wine cmd /c exit </dev/null >/dev/null 2>&1
        return 0
    fi
    "${WINESERVER:-wineserver}" "$@"
}

# A fresh prefix of the chosen architecture whose windows are not handed to a window manager:
# under a bare X server Wine would otherwise wait for one on every hide. Fails at once, with a
# sentence, when Wine cannot start a program here.
kelvo_make_prefix() {
    mkdir -p "$WINEPREFIX"
    if ! kelvo_wine wineboot -i >"$WINEPREFIX.boot.log" 2>&1; then
        echo "Wine could not set up the prefix $WINEPREFIX with $WINELOADER ($KELVO_ARCH):" >&2
        tail -3 "$WINEPREFIX.boot.log" >&2
        return 1
    fi
    kelvo_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    kelvo_link_cjk_font
    kelvo_wineserver -w
}

# Menus and message boxes (face Tahoma in Wine) draw Chinese text only through a linked font;
# without it the settings menu and the leave-game question show empty boxes.
kelvo_link_cjk_font() {
    kelvo_wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
        /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
}

# Copies the stand-in controls into the prefix and registers them under the real class ids, in
# the registry view the chosen build reads; names (browser, flash) register only those classes.
kelvo_register_standins() {
    local dll=$WINEPREFIX/drive_c/kelvo_standins.dll
    cp "$KELVO_BUILD/tools/kelvo_standins.dll" "$dll" &&
        "$KELVO_ROOT/tools/standins/register.sh" "$dll" "$@"
}

# Starts Xvfb on a display number it picks itself (so that two runs on one machine never share a
# screen) and exports DISPLAY; the server's pid is in KELVO_XVFB_PID.
kelvo_start_xvfb() {
    local fifo n=
    fifo=$(mktemp -u /tmp/kelvo-xvfb.XXXXXX)
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    KELVO_XVFB_PID=$!
    read -r -t 20 n <"$fifo"
    rm -f "$fifo"
    if [ -z "$n" ]; then
        echo "Xvfb did not start; install the xvfb package (scripts/install-deps)." >&2
        return 1
    fi
    export DISPLAY=":$n"
}

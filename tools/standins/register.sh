#!/bin/bash
# Registers the stand-in controls of kelvo_standins.dll in the current Wine prefix ($WINEPREFIX),
# under the real class ids, replacing Wine's own classes there, in the registry view of the build
# that runs on this host (32-bit view for the win32 build, 64-bit view for win64; see
# scripts/lib/host.sh). Only for scratch test and demo prefixes.
#
#   tools/standins/register.sh PATH/TO/kelvo_standins.dll [browser] [flash]
#
# Names after the DLL register only those classes (default: all). A class left out keeps whatever
# the prefix had for it; `tools/standins/register.sh --remove flash` takes the Flash class's
# registration out of the prefix, for a run where only a copy beside the program provides it.
set -uo pipefail
usage() {
    echo "usage: $0 PATH/TO/kelvo_standins.dll [browser] [flash]" >&2
    echo "       $0 --remove browser|flash..." >&2
    exit 2
}
[ $# -ge 1 ] || usage
remove=
if [ "$1" = --remove ]; then
    remove=1
    shift
    [ $# -ge 1 ] || usage
else
    [ -f "$1" ] || usage
fi
source "$(dirname "$0")/../../scripts/lib/host.sh"
[ -n "${KELVO_REG_VIEW:-}" ] || kelvo_choose_arch || exit 1
if [ -z "$remove" ]; then
    dll=$(kelvo_wine winepath.exe -w "$(realpath "$1")" 2>/dev/null | tr -d '\r') && [ -n "$dll" ] || exit 1
    shift
fi
wanted=" ${*:-browser flash} "

# One line per class: its short name, class id, then its description.
classes=(
    "browser|{8856F961-340A-11D0-A96B-00C04FD705A2}|Kelvo stand-in: web browser control"
    "flash|{D27CDB6E-AE6D-11CF-96B8-444553540000}|Kelvo stand-in: Shockwave Flash control"
)

for entry in "${classes[@]}"; do
    short=${entry%%|*}
    entry=${entry#*|}
    clsid=${entry%%|*}
    name=${entry#*|}
    case "$wanted" in *" $short "*) ;; *) continue ;; esac
    key="HKLM\\Software\\Classes\\CLSID\\$clsid"
    if [ -n "$remove" ]; then
        kelvo_wine reg delete "$key" /f "$KELVO_REG_VIEW" >/dev/null 2>&1 || true
        echo "removed $clsid"
        continue
    fi
    kelvo_wine reg add "$key" /ve /d "$name" /f "$KELVO_REG_VIEW" >/dev/null &&
        kelvo_wine reg add "$key\\InprocServer32" /ve /d "$dll" /f "$KELVO_REG_VIEW" >/dev/null &&
        kelvo_wine reg add "$key\\InprocServer32" /v ThreadingModel /d Apartment /f "$KELVO_REG_VIEW" >/dev/null ||
        exit 1
    echo "registered $clsid -> $dll"
done

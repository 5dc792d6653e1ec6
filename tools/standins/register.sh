#!/bin/bash
# Registers the stand-in controls of kelvo_standins.dll in the current Wine prefix ($WINEPREFIX),
# under the real class ids, replacing Wine's own classes there, in the registry view of the build
# that runs on this host (32-bit view for the win32 build, 64-bit view for win64; see
# scripts/lib/host.sh). Only for scratch test and demo prefixes.
#
#   tools/standins/register.sh PATH/TO/kelvo_standins.dll
set -eu
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PATH/TO/kelvo_standins.dll" >&2
    exit 2
fi
source "$(dirname "$0")/../../scripts/lib/host.sh"
[ -n "${KELVO_REG_VIEW:-}" ] || kelvo_choose_arch
dll=$(kelvo_wine winepath.exe -w "$(realpath "$1")" 2>/dev/null | tr -d '\r')

# One line per class: class id, then its description.
classes=(
    "{8856F961-340A-11D0-A96B-00C04FD705A2}|Kelvo stand-in: web browser control"
    "{D27CDB6E-AE6D-11CF-96B8-444553540000}|Kelvo stand-in: Shockwave Flash control"
)

for entry in "${classes[@]}"; do
    clsid=${entry%%|*}
    name=${entry#*|}
    key="HKLM\\Software\\Classes\\CLSID\\$clsid"
    kelvo_wine reg add "$key" /ve /d "$name" /f "$KELVO_REG_VIEW" >/dev/null
    kelvo_wine reg add "$key\\InprocServer32" /ve /d "$dll" /f "$KELVO_REG_VIEW" >/dev/null
    kelvo_wine reg add "$key\\InprocServer32" /v ThreadingModel /d Apartment /f "$KELVO_REG_VIEW" >/dev/null
    echo "registered $clsid -> $dll"
done

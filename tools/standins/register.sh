#!/bin/bash
# Registers the stand-in controls of kelvo_standins.dll in the current Wine prefix ($WINEPREFIX),
# in the 32-bit registry view, under the real class ids, replacing Wine's own classes there.
# Only for scratch test and demo prefixes.
#
#   tools/standins/register.sh PATH/TO/kelvo_standins.dll
set -eu
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PATH/TO/kelvo_standins.dll" >&2
    exit 2
fi
dll=$(winepath -w "$(realpath "$1")")

# One line per class: class id, then its description.
classes=(
    "{8856F961-340A-11D0-A96B-00C04FD705A2}|Kelvo stand-in: web browser control"
)

for entry in "${classes[@]}"; do
    clsid=${entry%%|*}
    name=${entry#*|}
    key="HKLM\\Software\\Classes\\CLSID\\$clsid"
    wine reg add "$key" /ve /d "$name" /f /reg:32 >/dev/null
    wine reg add "$key\\InprocServer32" /ve /d "$dll" /f /reg:32 >/dev/null
    wine reg add "$key\\InprocServer32" /v ThreadingModel /d Apartment /f /reg:32 >/dev/null
    echo "registered $clsid -> $dll"
done

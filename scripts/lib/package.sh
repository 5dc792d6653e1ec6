# Makes the release files from a built kelvo.exe; sourced by scripts/package and by the installer's
# end-to-end test, which packages launchers it has built itself.
#
#   kelvo_release_names ARCH VERSION       KELVO_SETUP_NAME, KELVO_ZIP_NAME: the file names in dist/
#   kelvo_check_pe ARCH FILE               FILE is a Windows binary of ARCH (win32 or win64)
#   kelvo_make_setup ARCH EXE VERSION COMPANY OUT [FLASH]   the per-user NSIS setup program
#   kelvo_make_zip EXE OUT [FLASH]         the portable archive: a folder "Kelvo" with the launcher
#   kelvo_authenticode_check PFX           the password in KELVO_AUTHENTICODE_PASSWORD opens PFX
#   kelvo_authenticode_signed FILE         FILE carries an Authenticode signature
#   kelvo_authenticode FILE PFX [URL]      signs FILE in place (Authenticode, SHA-256) with PFX, whose
#                                          password is in KELVO_AUTHENTICODE_PASSWORD; with URL, an
#                                          RFC 3161 timestamp from it

KELVO_ROOT=${KELVO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

kelvo_release_names() {
    local suffix=
    [ "$1" = win64 ] && suffix=-win64
    KELVO_SETUP_NAME=kelvo-$2$suffix-setup.exe
    KELVO_ZIP_NAME=kelvo-$2$suffix.zip
}

# A 64-bit launcher loads only a 64-bit control, and the other way round.
kelvo_check_pe() {
    local arch=$1 file=$2 kind
    kind=$(file -b "$file")
    case "$arch:$kind" in
    win32:PE32\ *Intel\ 80386* | win64:PE32+\ *x86-64*) return 0 ;;
    esac
    echo "$file is not a $arch Windows binary: $kind" >&2
    return 1
}

kelvo_make_setup() {
    local arch=$1 exe=$2 version=$3 company=$4 out=$5 flash=${6:-} target=x86-unicode log
    [ "$arch" = win64 ] && target=amd64-unicode
    local defines=(-DKELVO_TARGET="$target" -DKELVO_VERSION="$version" -DKELVO_EXE="$(realpath "$exe")"
        -DKELVO_OUTFILE="$(realpath -m "$out")")
    # makensis reads "$" in a string as the start of a variable.
    defines+=(-DKELVO_COMPANY="${company//\$/\$\$}")
    [ -n "$flash" ] && defines+=(-DKELVO_FLASH="$(realpath "$flash")")
    log=$(mktemp)
    if ! makensis -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$KELVO_ROOT/installer/kelvo.nsi" >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        echo "makensis could not make $out" >&2
        return 1
    fi
    rm -f "$log"
}

kelvo_make_zip() {
    local exe=$1 out=$2 flash=${3:-} stage
    stage=$(mktemp -d)
    mkdir "$stage/Kelvo"
    cp "$exe" "$stage/Kelvo/kelvo.exe"
    [ -n "$flash" ] && cp "$flash" "$stage/Kelvo/flash.ocx"
    rm -f "$out"
    out=$(realpath -m "$out")
    (cd "$stage" && zip -q -X -r "$out" Kelvo)
    local status=$?
    rm -rf "$stage"
    return $status
}

# The password goes to the tools on standard input: an argument would be seen by every user of the
# machine (ps) and could end up in a log.
kelvo_authenticode_check() {
    printf '%s' "${KELVO_AUTHENTICODE_PASSWORD:-}" |
        openssl pkcs12 -in "$1" -passin stdin -nokeys -noout 2>/dev/null || {
        echo "cannot open $1 with the password in KELVO_AUTHENTICODE_PASSWORD" >&2
        return 1
    }
}

kelvo_authenticode() {
    local file=$1 pfx=$2 url=${3:-} unsigned signed log ts=()
    [ -n "$url" ] && ts=(-ts "$url")
    unsigned=$(mktemp "$file.unsigned.XXXXXX") && signed=$(mktemp "$file.signed.XXXXXX") &&
        log=$(mktemp) || return 1
    # A file signed by an earlier run is signed afresh, not given a second signature.
    if ! osslsigncode remove-signature -in "$file" -out "$unsigned" >/dev/null 2>&1; then
        cp "$file" "$unsigned" || return 1
    fi
    rm -f "$signed"
    if ! printf '%s' "${KELVO_AUTHENTICODE_PASSWORD:-}" |
        osslsigncode sign -pkcs12 "$pfx" -readpass - -h sha256 -n Kelvo "${ts[@]}" \
            -in "$unsigned" -out "$signed" >"$log" 2>&1; then
        cat "$log" >&2
        echo "osslsigncode could not sign $file" >&2
        rm -f "$unsigned" "$signed" "$log"
        return 1
    fi
    rm -f "$unsigned" "$log"
    chmod --reference="$file" "$signed" && mv "$signed" "$file"
}

kelvo_authenticode_signed() {
    local out status
    out=$(mktemp -u) || return 1
    osslsigncode extract-signature -in "$1" -out "$out" >/dev/null 2>&1
    status=$?
    rm -f "$out"
    return $status
}

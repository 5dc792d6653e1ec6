# What a built kelvo.exe says about itself, for the publisher's tools; sourced by scripts/package and
# scripts/sign-update.
#
#   kelvo_exe_arch FILE          win32 or win64 for a Windows program of either; fails otherwise
#   kelvo_exe_field FILE NAME    a text of FILE's version resource (FileVersion, OriginalFilename, ...)
#   kelvo_exe_key FILE           the update public key built into FILE, as its base64 body (no blanks);
#                                nothing when FILE checks no signatures
#   kelvo_key_body PEM           the base64 body of a PEM public key, or of the public half of a private key
#   kelvo_key_fingerprint BODY   a short fingerprint of a key body: the first 16 hex digits of the
#                                SHA-256 of its DER
#   kelvo_manifest_name ARCH     the manifest this architecture's launcher reads on the server
#   kelvo_sign_update KEY FILE VERSION   the Signature value for FILE as VERSION, unchecked (scripts/sign-update
#                                checks first; the update tests sign what it refuses)

kelvo_exe_arch() {
    case "$(file -b "$1" 2>/dev/null)" in
    PE32\ *Intel\ 80386*) echo win32 ;;
    PE32+\ *x86-64*) echo win64 ;;
    *) return 1 ;;
    esac
}

kelvo_exe_field() {
    local windres=i686-w64-mingw32-windres
    [ "$(kelvo_exe_arch "$1")" = win64 ] && windres=x86_64-w64-mingw32-windres
    "$windres" -i "$1" -O rc 2>/dev/null | sed -n "s/^ *VALUE \"$2\", \"\\(.*\\)\"\$/\\1/p" | head -1
}

# The key is in the program as the PEM text it was built with.
kelvo_exe_key() {
    perl -0777 -ne 'if (/-----BEGIN PUBLIC KEY-----([A-Za-z0-9+\/=\s]{40,}?)-----END PUBLIC KEY-----/) {
        ($k = $1) =~ s/\s//g; print "$k\n" }' "$1"
}

kelvo_key_body() {
    { openssl pkey -in "$1" -pubout 2>/dev/null || openssl pkey -pubin -in "$1" -pubout 2>/dev/null; } |
        sed '/^-----/d' | tr -d ' \r\n'
}

kelvo_key_fingerprint() {
    printf '%s' "$1" | openssl base64 -d -A | openssl dgst -sha256 -r | cut -c1-16
}

kelvo_manifest_name() {
    if [ "$1" = win64 ]; then echo kelvoupdate-win64.ini; else echo kelvoupdate.ini; fi
}

# The DER signature is SEQUENCE { INTEGER r, INTEGER s }; each integer becomes 32 bytes, big-endian.
kelvo_sign_update() {
    local key=$1 file=$2 version=$3 digest rs
    digest=$(openssl dgst -sha256 -r "$file" | cut -c1-64) || return 1
    rs=$(printf "kelvo-update\n%s\n%s" "$version" "$digest" | openssl dgst -sha256 -sign "$key" |
        openssl asn1parse -inform DER 2>/dev/null | awk -F: '
        /INTEGER/ {
            v = tolower($NF)
            while (length(v) > 64 && substr(v, 1, 2) == "00") v = substr(v, 3)
            while (length(v) < 64) v = "0" v
            out = out v
        }
        END { print out }' 2>/dev/null)
    [ ${#rs} -eq 128 ] || {
        echo "sign-update: openssl gave no P-256 signature (is $key a P-256 private key?)" >&2
        return 1
    }
    printf '%s' "$rs" | perl -ne 'print pack("H*", $_)' | openssl base64 -A
}

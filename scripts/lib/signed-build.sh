# The signed launcher the update tests run: the chosen architecture's kelvo.exe (built-in version
# 1001) configured with a public key made on first use, and with short download deadlines
# (manifest 10 s, executable 20 s) so that a trickling server is given up quickly. Only the kelvo
# target is built. Sourced after host.sh (kelvo_choose_arch has run).
#
#   kelvo_signed_build   builds it; sets KELVO_SIGNED_EXE and KELVO_SIGNED_KEYS (update-private.pem,
#                        update-public.pem), or fails with a sentence saying why

kelvo_signed_build() {
    local build=$KELVO_BUILD-signed
    KELVO_SIGNED_KEYS=$build/update-key
    KELVO_SIGNED_EXE=$build/kelvo.exe
    if [ ! -f "$KELVO_SIGNED_KEYS/update-public.pem" ]; then
        rm -rf "$KELVO_SIGNED_KEYS"
        "$KELVO_ROOT/scripts/make-update-key" --force "$KELVO_SIGNED_KEYS" >/dev/null || {
            echo "cannot make the test update key"
            return 1
        }
    fi
    (cd "$KELVO_ROOT" &&
        cmake --preset "$KELVO_ARCH" -B "$build" -DKELVO_UPDATE_KEY="$KELVO_SIGNED_KEYS/update-public.pem" \
            -DKELVO_UPDATE_MANIFEST_DEADLINE=10 -DKELVO_UPDATE_EXE_DEADLINE=20 >/dev/null &&
        cmake --build "$build" -j2 --target kelvo >/dev/null) || {
        echo "cannot build the signed launcher in $build"
        return 1
    }
}

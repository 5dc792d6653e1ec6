# Launchers built with other settings, for the tests that run them: the chosen architecture's
# kelvo.exe only, each in a build folder of its own beside the main one. Sourced after host.sh
# (kelvo_choose_arch has run). Each function builds, sets the variables it names, or fails with a
# sentence saying why.
#
#   kelvo_signed_build     built-in version 1001, a public key made on first use, short download
#                          deadlines (manifest 10 s, executable 20 s) so that a trickling server is
#                          given up quickly; sets KELVO_SIGNED_EXE and KELVO_SIGNED_KEYS
#                          (update-private.pem, update-public.pem)
#   kelvo_trusted_build    KELVO_TRUSTED_HOSTS=127.0.0.1 (the portal, 127.0.0.1:18601, is trusted
#                          as always); sets KELVO_TRUSTED_BUILD (its build folder)
#   kelvo_progress_build   built-in version 1001 with KELVO_UPDATE_PROGRESS; sets KELVO_PROGRESS_EXE
#   kelvo_1002_build       built-in version 1002, the update the portal offers; sets KELVO_1002_EXE

# kelvo_variant_build FOLDER WHAT CMAKE-ARGS...
kelvo_variant_build() {
    local build=$1 what=$2
    shift 2
    (cd "$KELVO_ROOT" && cmake --preset "$KELVO_ARCH" -B "$build" "$@" >/dev/null &&
        cmake --build "$build" -j2 --target kelvo >/dev/null) || {
        echo "cannot build the $what in $build"
        return 1
    }
}

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
    kelvo_variant_build "$build" "signed launcher" -DKELVO_UPDATE_KEY="$KELVO_SIGNED_KEYS/update-public.pem" \
        -DKELVO_UPDATE_MANIFEST_DEADLINE=10 -DKELVO_UPDATE_EXE_DEADLINE=20
}

kelvo_trusted_build() {
    KELVO_TRUSTED_BUILD=$KELVO_BUILD-trusted
    kelvo_variant_build "$KELVO_TRUSTED_BUILD" "launcher with trusted hosts" -DKELVO_TRUSTED_HOSTS=127.0.0.1
}

kelvo_progress_build() {
    KELVO_PROGRESS_EXE=$KELVO_BUILD-progress/kelvo.exe
    kelvo_variant_build "$KELVO_BUILD-progress" "launcher with the progress window" -DKELVO_UPDATE_PROGRESS=ON
}

kelvo_1002_build() {
    KELVO_1002_EXE=$KELVO_BUILD-1002/kelvo.exe
    kelvo_variant_build "$KELVO_BUILD-1002" "1002 launcher" -DKELVO_VERSION=1002
}

# The launcher with trusted hosts that the end-to-end test of trusted hosts runs: the chosen
# architecture's kelvo.exe configured with KELVO_TRUSTED_HOSTS=127.0.0.1 (with the portal,
# 127.0.0.1:18601, trusted as always). Only the kelvo target is built. Sourced after host.sh.
#
#   kelvo_trusted_build   builds it; sets KELVO_TRUSTED_BUILD (its build folder), or fails with a
#                         sentence saying why

kelvo_trusted_build() {
    KELVO_TRUSTED_BUILD=$KELVO_BUILD-trusted
    (cd "$KELVO_ROOT" &&
        cmake --preset "$KELVO_ARCH" -B "$KELVO_TRUSTED_BUILD" -DKELVO_TRUSTED_HOSTS=127.0.0.1 >/dev/null &&
        cmake --build "$KELVO_TRUSTED_BUILD" -j2 --target kelvo >/dev/null) || {
        echo "cannot build the launcher with trusted hosts in $KELVO_TRUSTED_BUILD"
        return 1
    }
}

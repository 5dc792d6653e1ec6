# The launcher the progress window's end-to-end test runs: the chosen architecture's kelvo.exe
# (built-in version 1001) built with KELVO_UPDATE_PROGRESS. Only the kelvo target is built. Sourced
# after host.sh (kelvo_choose_arch has run).
#
#   kelvo_progress_build   builds it; sets KELVO_PROGRESS_EXE, or fails with a sentence saying why

kelvo_progress_build() {
    local build=$KELVO_BUILD-progress
    KELVO_PROGRESS_EXE=$build/kelvo.exe
    (cd "$KELVO_ROOT" && cmake --preset "$KELVO_ARCH" -B "$build" -DKELVO_UPDATE_PROGRESS=ON >/dev/null &&
        cmake --build "$build" -j2 --target kelvo >/dev/null) || {
        echo "cannot build the launcher with the progress window in $build"
        return 1
    }
}

# The fuzz targets' runner, shared by scripts/fuzz-*; sourced, then kelvo_fuzz TARGET FOLDER ARGS.
#
#   TARGET   the libFuzzer target (markup_fuzz, bridge_fuzz), built by the fuzz preset
#   FOLDER   its folder under fuzz/, with corpus/ and an optional dictionary
#   ARGS     none: a bounded run (FUZZ_SECONDS, default 60) on a copy of the seed corpus, as
#            scripts/test runs it; or a DURATION (N, Ns, Nm or Nh): a long run whose corpus grows
#            in build/fuzz/TARGET-corpus and is kept between runs
#   FUZZ_MAX_LEN  the longest input tried, 8192 bytes unless set; a long run with a smaller bound
#            spends its executions on short requests, where the walk's shapes already appear
#
# Prints the executions, their rate, the coverage and the corpus size; fails when the target finds
# a fault, after saving the input that shows it in build/fuzz/artifacts/.

seconds_of() {
    case "$1" in
    *[!0-9smh]* | "" | [smh]*) return 1 ;;
    *h) echo $((${1%h} * 3600)) ;;
    *m) echo $((${1%m} * 60)) ;;
    *s) echo "${1%s}" ;;
    *) echo "$1" ;;
    esac
}

kelvo_fuzz() {
    local target=$1 folder=$2
    shift 2
    if [ $# -gt 1 ] || { [ $# -eq 1 ] && ! seconds_of "$1" >/dev/null; }; then
        echo "usage: scripts/$(basename "$0") [DURATION]   (DURATION: N, Ns, Nm or Nh)" >&2
        return 2
    fi

    cmake --preset fuzz >/dev/null || return 1
    cmake --build build/fuzz --target "$target" -j2 || return 1

    local work seconds corpus mode status=0
    work="$(mktemp -d)"
    mkdir -p "$work/artifacts"
    if [ $# -eq 1 ]; then
        seconds="$(seconds_of "$1")"
        corpus=build/fuzz/$target-corpus
        mkdir -p "$corpus"
        cp -n "fuzz/$folder"/corpus/* "$corpus/"
        mode=long
    else
        seconds="${FUZZ_SECONDS:-60}"
        corpus="$work/corpus"
        mkdir -p "$corpus"
        cp "fuzz/$folder"/corpus/* "$corpus/"
        mode=bounded
    fi
    local dict=()
    [ -f "fuzz/$folder/$folder.dict" ] && dict=(-dict="fuzz/$folder/$folder.dict")
    [ ${#dict[@]} -eq 0 ] && [ -f fuzz/markup/markup.dict ] && dict=(-dict=fuzz/markup/markup.dict)

    "build/fuzz/fuzz/$folder/$target" "$corpus" "${dict[@]}" -max_total_time="$seconds" \
        -max_len="${FUZZ_MAX_LEN:-8192}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1 || status=$?

    local executions rate coverage artifact
    executions="$(fuzz_stat "$work/log" number_of_executed_units)"
    rate="$(fuzz_stat "$work/log" average_exec_per_sec)"
    coverage="$(grep -o 'cov: [0-9]*' "$work/log" | tail -1 | grep -o '[0-9]*$' || true)"
    echo "$target ($mode): ${executions:-unknown} executions in ${seconds} s (${rate:-?}/s)," \
        "coverage ${coverage:-?} edges, corpus $(find "$corpus" -type f | wc -l) inputs"
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$work/log"
        for artifact in "$work"/artifacts/*; do
            [ -e "$artifact" ] || continue
            mkdir -p build/fuzz/artifacts
            cp "$artifact" build/fuzz/artifacts/
            echo "saved build/fuzz/artifacts/$(basename "$artifact")"
        done
    fi
    rm -rf "$work"
    return "$status"
}

fuzz_stat() { grep -o "stat::$2: *[0-9]*" "$1" | grep -o '[0-9]*$' || true; }

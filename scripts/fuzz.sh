#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz/ and runs each on its seeds:
#   scripts/fuzz.sh [SECONDS [TARGET...]]     60 s for each of the five targets unless given
#   VC_FUZZ_RUNS=1 scripts/fuzz.sh 120        the fixed run CI makes (see below)
# Each target fuzzes for SECONDS from its seeds and a corpus of its own, build-fuzz/corpus/TARGET,
# which later runs go on growing. With VC_FUZZ_RUNS set, each target instead makes a fixed number
# of executions from a fixed random seed (SECONDS only bounding it): the same inputs on every
# machine, so that CI fails for a change of ours and not for the luck of the draw; the count
# multiplies each target's own (from a quarter of a minute to a minute and a half each here).
# The kept crashers, tests/fuzz/crashers, are replayed by the test suites, not here: some crash the
# HLSL front end itself, which only the workbench's compiler process contains. A crash, a leak, a
# sanitiser finding or an input that runs 30 s fails the run: the input is printed (hex) with the
# command that replays it, and the exit code is 1.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds="${1:-60}"
if [ $# -gt 0 ]; then shift; fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(shader_parser shader_compile sequencer_script ogg_loader png_loader)

./scripts/install-deps.sh packages.txt packages-fuzz.txt
build_dir=build-fuzz
cmake -S . -B "$build_dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVC_FUZZ=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# The options each target's inputs want (the sizes its format needs, a dictionary).
TargetOptions()
{
    case "$1" in
        shader_compile) echo "-max_len=4096" ;;
        ogg_loader) echo "-max_len=16384" ;;
        png_loader) echo "-max_len=65536 -dict=tests/fuzz/png_loader.dict" ;;
    esac
}

# The executions of the fixed run, per target. The compile chain's is the smallest: the HLSL front
# end that it runs in-process has crashes of its own, which only longer random runs should hunt.
TargetRuns()
{
    case "$1" in
        shader_parser) echo 120000 ;;
        shader_compile) echo 12000 ;;
        sequencer_script) echo 800000 ;;
        ogg_loader) echo 60000 ;;
        png_loader) echo 4000000 ;;
    esac
}

# Prints what libFuzzer kept of a failing run: its last lines and each input it saved.
ReportFailure()
{
    local name="$1" log="$2" artifacts="$3" program="$4" options="$5"
    echo "fuzz_$name FAILED; the end of its output ($log):"
    tail -n 60 "$log"
    local input
    for input in "$artifacts"*; do
        [ -f "$input" ] || continue
        echo "input $input ($(stat -c %s "$input") bytes), replayed by: $program $options $input"
        od -A x -t x1z -v "$input" | head -n 256
    done
}

# Whether a failing run ended in a crash inside the HLSL front end's own code (its first frame in
# the front end's namespace): the library has crash classes that no guard of ours catches yet,
# kept in tests/fuzz/crashers and contained in the workbench by the compiler's helper process.
# Which of them a run meets is chance (the chain's coverage is not deterministic from run to run),
# so in the fixed run such a crash is reported and its input kept, and the run goes on from the
# corpus with the next seed for the executions left (four times at most); any other finding
# fails. Random runs, which hunt, fail on it like on any other.
FrontEndCrash()
{
    grep -q -m1 -E '^ +#0 0x[0-9a-f]+ in glslang::' "$1"
}

failed=()
for name in "${targets[@]}"; do
    program="$build_dir/fuzz_$name"
    options="$(TargetOptions "$name")"
    corpus="$build_dir/corpus/$name"
    if [ -n "${VC_FUZZ_RUNS:-}" ]; then
        # A fresh corpus too: what earlier runs kept would change the inputs.
        corpus="$build_dir/corpus-fixed/$name"
        rm -rf "$corpus"
        options="$options -seed=1 -runs=$(( $(TargetRuns "$name") * VC_FUZZ_RUNS ))"
    fi
    artifacts="$build_dir/artifacts/$name/"
    log="$build_dir/fuzz_$name.log"
    rm -rf "$artifacts"
    mkdir -p "$corpus" "$artifacts"

    started=$SECONDS
    runOptions="$options"
    executions=0
    for attempt in 1 2 3 4 5; do
        # shellcheck disable=SC2086 # the options are separate words
        if "$program" $runOptions -max_total_time="$seconds" -timeout=30 -close_fd_mask=2 -print_final_stats=1 \
            -artifact_prefix="$artifacts" "$corpus" "tests/fuzz/seeds/$name" >"$log" 2>&1; then
            status=passed
        else
            status=failed
        fi
        done_now="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        executions=$((executions + ${done_now:-0}))
        if [ "$status" = failed ] && [ -n "${VC_FUZZ_RUNS:-}" ] && [ "$name" = shader_compile ] && FrontEndCrash "$log" &&
            [ "$attempt" -lt 5 ]; then
            kept="$build_dir/front-end-crashes"
            mkdir -p "$kept"
            for input in "$artifacts"*; do
                if [ -f "$input" ]; then mv "$input" "$kept/"; fi
            done
            echo "fuzz_$name: the HLSL front end crashed in its own code after ${done_now:-?} executions" \
                "($(grep -m1 -E '^ +#0 ' "$log" | sed -E 's/.* in ([^(]*).*/\1/')); input kept in $kept/; going on"
            left=$(( $(TargetRuns "$name") * VC_FUZZ_RUNS - executions ))
            [ "$left" -gt 0 ] || { status=passed; break; }
            runOptions="$(TargetOptions "$name") -seed=$((attempt + 1)) -runs=$left"
            continue
        fi
        break
    done
    if [ "$status" = failed ]; then
        ReportFailure "$name" "$log" "$artifacts" "$program" "$runOptions"
        failed+=("$name")
        continue
    fi
    echo "fuzz_$name: $executions executions in $((SECONDS - started)) s, corpus of $(find "$corpus" -type f | wc -l) inputs"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi

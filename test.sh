#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
#   ./test.sh           build/       (release with debug info)
#   ./test.sh --asan    build-asan/  (AddressSanitizer + UndefinedBehaviorSanitizer)
#   ./test.sh --tsan    build-tsan/  (ThreadSanitizer)
# Extra arguments after the mode go to ctest (for example: ./test.sh -L seq).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

build_dir=build
sanitize=""
case "${1:-}" in
    --asan) build_dir=build-asan; sanitize=address; shift ;;
    --tsan) build_dir=build-tsan; sanitize=thread; shift ;;
esac

./scripts/install-deps.sh
./scripts/build.sh "$build_dir" "$sanitize"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The driver suppressions reach every test and every program a test starts.
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan-driver.supp}"
log="$build_dir/ctest-output.log"
if ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --output-log "$log" "$@"; then
    exit 0
fi
# LeakSanitizer stops every thread of a process with ptrace to look for leaks when it exits; with
# the software GL driver's threads about, that tracer now and then crashes itself ("LeakSanitizer
# has encountered a fatal error"), which says nothing of the test. When it did, the failed tests
# run once more; a test that fails again, or any failure of another kind, stands.
if [ "$sanitize" = address ] && grep -q "LeakSanitizer has encountered a fatal error" "$log"; then
    echo "The leak checker itself crashed; running the failed tests once more."
    exec ctest --test-dir "$build_dir" --output-on-failure --rerun-failed "$@"
fi
exit 1

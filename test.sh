#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
#   ./test.sh           build/       (release with debug info)
#   ./test.sh --asan    build-asan/  (AddressSanitizer + UndefinedBehaviorSanitizer)
#   ./test.sh --tsan    build-tsan/  (ThreadSanitizer)
# Extra arguments after the mode go to ctest (for example: ./test.sh -L seq); without any, every
# suite runs but the soak runs (./test.sh -L soak runs those).
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
# The soak runs take minutes: left out unless asked for (./test.sh -L soak).
[ $# -gt 0 ] || set -- -LE soak
log="$build_dir/ctest-output.log"
if ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --output-log "$log" "$@"; then
    exit 0
fi
# LeakSanitizer stops every thread of a process with ptrace to look for leaks when it exits; with
# the software GL driver's threads about, that tracer now and then crashes itself ("LeakSanitizer
# has encountered a fatal error"), which says nothing of the test - and under ctest it can do so
# again and again for one test while the same test run on its own passes. When it did, each failed
# test runs on its own (its command from the discovered tests), up to three times; a test that
# never passes, or any failure of another kind, stands.
if [ "$sanitize" = address ] && grep -q "LeakSanitizer has encountered a fatal error" "$log"; then
    echo "The leak checker itself crashed; running the failed tests on their own."
    passed=0
    failed=0
    while IFS=: read -r _ name; do
        [ -n "$name" ] || continue
        program="$(grep -h -F "add_test([=[$name]=]" "$build_dir"/*_tests.cmake | awk '{print $2}' | head -n 1 || true)"
        ok=0
        if [ -n "$program" ]; then
            for try in 1 2 3; do
                if "$program" "--gtest_filter=$name" >"$build_dir/rerun.log" 2>&1; then
                    ok=1
                    break
                fi
                echo "  $name: try $try failed"
            done
        fi
        if [ "$ok" = 1 ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
            cat "$build_dir/rerun.log" 2>/dev/null || echo "  $name: not a test that can run on its own"
        fi
    done <"$build_dir/Testing/Temporary/LastTestsFailed.log"
    echo "rerun: $passed passed, $failed failed"
    [ "$failed" = 0 ] && [ "$passed" -gt 0 ]
    exit $?
fi
exit 1

#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh               the normal build, in build/
#   ./test.sh --sanitize    a build of its own (build-sanitize/) with address
#                           and undefined-behaviour sanitizers, every test
#   --build-only            with either: build, run nothing
# KOVRIM_TEST_JOBS: how many tests run at a time.
set -euo pipefail
. "$(dirname "$0")/scripts/common.sh"
sanitize=0
build_only=0
for arg in "$@"; do
    case "$arg" in
        --sanitize) sanitize=1 ;;
        --build-only) build_only=1 ;;
        *) echo "usage: $0 [--sanitize] [--build-only]" >&2; exit 2 ;;
    esac
done
install_missing $BUILD_PACKAGES
NO_RECOMMENDS=1 install_missing $TEST_PACKAGES
if [ $sanitize = 1 ]; then
    BUILD_DIR="${KOVRIM_SANITIZE_BUILD_DIR:-$ROOT/build-sanitize}"
    build_project -DKOVRIM_SANITIZE=ON -DKOVRIM_BENCHMARKS=OFF
    # Whole stacks, so that a leak is told apart by where it comes from.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:fast_unwind_on_malloc=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
    # The first suite runs the full soak. This run looks for memory faults,
    # and a shorter soak still goes through every fault rate.
    export KOVRIM_SOAK_SECONDS="${KOVRIM_SOAK_SECONDS:-40}"
    # Likewise the badge operators' random sessions: fewer, same seed.
    export KOVRIM_BADGE_MODEL_SECONDS="${KOVRIM_BADGE_MODEL_SECONDS:-20}"
    # Under the sanitizers the window tests keep a core busy: one job more
    # than the two cores fills the waits of the others.
    jobs="${KOVRIM_TEST_JOBS:-3}"
else
    build_project
    # These tests mostly wait on the simulator's time-outs (a tenth of a
    # core each, on average): six at a time still leave the cores idle.
    jobs="${KOVRIM_TEST_JOBS:-6}"
fi
[ $build_only = 1 ] && exit 0
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"

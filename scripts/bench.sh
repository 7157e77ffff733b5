#!/usr/bin/env bash
# Installs what is missing, builds, and runs every benchmark of bench/.
# Arguments are passed to each benchmark (for example --runs 5).
set -euo pipefail
. "$(dirname "$0")/common.sh"
install_missing $BUILD_PACKAGES
build_project
for bench in "$BUILD_DIR"/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench" "$@"
done

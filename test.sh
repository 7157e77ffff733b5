#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
. "$(dirname "$0")/scripts/common.sh"
install_missing $BUILD_PACKAGES
build_project
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

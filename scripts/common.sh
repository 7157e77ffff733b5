# Shared by run.sh and test.sh: install what is missing, then build.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${KOVRIM_BUILD_DIR:-$ROOT/build}"
# The compiler cache lives outside the clone (~/.cache/ccache); paths are
# hashed relative to the clone, so that another clone reuses it.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
# What uses a precompiled header (CMakeLists.txt) is cached only so:
# nothing here uses __DATE__ or __TIME__.
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
# Each precompiled header (100 to 200 MB) hashed once per build, not once
# per file that uses it.
export CCACHE_INODECACHE="${CCACHE_INODECACHE:-true}"
# qttranslations5-l10n: Qt's standard buttons and dialogs in French;
# libqt5sql5-sqlite: the ledger's database driver.
BUILD_PACKAGES="cmake make g++ ccache qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5sql5-sqlite fonts-dejavu-core qttranslations5-l10n"
# Only the tests need these (ansible-core: the Ansible collection driven by
# ansible-playbook; sqlite3: the ledger's tests alter a row behind its back;
# poppler-utils: they read the closing's PDF back as text); installed
# without their recommended packages.
TEST_PACKAGES="ansible-core sqlite3 poppler-utils"

missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || echo "$pkg"
    done
}

# NO_RECOMMENDS=1: without the recommended packages.
install_missing() {
    local missing
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installation des paquets manquants : $missing"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq ${NO_RECOMMENDS:+--no-install-recommends} $missing
}

build_project() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j2
}

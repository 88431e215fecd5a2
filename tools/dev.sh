#!/usr/bin/env bash
# Sets up, builds and runs the project on Debian 12.
#   tools/dev.sh run [Wren options]   install what is missing, build, run Wren
#   tools/dev.sh test                 install what is missing, build, run every test
# Safe to run again: packages already present and an up-to-date build cost
# a few seconds.
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${WREN_BUILD_DIR:-$ROOT/build}

PACKAGES=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev libjpeg62-turbo-dev libgif-dev libfreetype-dev fonts-nanum
    libsdl2-dev
    libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
    zlib1g-dev libminizip-dev libcairo2-dev fonts-material-design-icons-iconfont
)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

build() {
    if [ ! -f "$BUILD/build.ninja" ]; then
        cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build "$BUILD" --parallel "$(nproc)"
}

case "${1:-}" in
run)
    shift
    install_missing
    build
    export WREN_ROOT=${WREN_ROOT:-$ROOT/unit}
    # The pictures and sounds the asset generator drew go into the unit
    # root, each only when it is missing there or older than the drawn one.
    mkdir -p "$WREN_ROOT"
    cp -r --update "$BUILD/assets/unit/." "$WREN_ROOT/"
    exec "$BUILD/Source/Wren" "$@"
    ;;
test)
    install_missing
    build
    ctest --test-dir "$BUILD" --parallel "$(nproc)" --output-on-failure
    ;;
*)
    echo "usage: $0 run [--exit-after MS] | test" >&2
    exit 2
    ;;
esac

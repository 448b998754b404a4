#!/usr/bin/env bash
# Set-up and everyday driver on Debian 12.
#   tools/dev.sh run    install what is missing, build, start the program
#   tools/dev.sh test   install what is missing, build, run the whole test suite
#   tools/dev.sh deps   only install what is missing
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    build-essential cmake ninja-build pkg-config git
    libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev libdeflate-dev libfreetype-dev
    libwebp-dev libheif-dev libjxl-dev liblcms2-dev
    webp libheif-examples libavif-bin libjxl-tools
    qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev libxext-dev qt6-qpa-plugins qt6-gtk-platformtheme
    qt6-image-formats-plugins
    adwaita-icon-theme fonts-dejavu-core shared-mime-info desktop-file-utils
    libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
    clang libclang-rt-14-dev
    xvfb xauth imagemagick libvips-tools
    dbus-x11 at-spi2-core python3-pyatspi xdotool
)

install_deps() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
    cmake --preset dev
    cmake --build --preset dev -j "$(nproc)"
}

case "${1:-}" in
    deps) install_deps ;;
    run)
        install_deps
        build
        exec build/dev/shell/vistrel
        ;;
    test)
        install_deps
        build
        ctest --preset dev -j "$(nproc)"
        ;;
    *) echo "usage: $0 run|test|deps" >&2; exit 2 ;;
esac

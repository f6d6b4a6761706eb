# Sourced by the scripts: installs the Debian packages Frameloop needs when
# they are missing. Uses sudo when not root.
#
# ImageMagick draws text with -font DejaVu-Sans everywhere: without -font it
# asks for Ghostscript's Helvetica, which a minimal Debian does not have.
FRAMELOOP_PACKAGES=(
    cmake ninja-build g++ pkgconf ccache
    qt6-base-dev libgd-dev libpng-dev libjpeg-dev zlib1g-dev libgtest-dev
    libxcb1-dev libxcb-shm0-dev libxcb-xfixes0-dev
    xvfb xauth fonts-dejavu-core
    gifsicle imagemagick xdotool xclip x11-utils x11-apps ffmpeg time python3
)

frameloop_install_deps() {
    local missing=()
    local pkg
    for pkg in "${FRAMELOOP_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures and builds a tree: frameloop_build DIR [cmake options...]
frameloop_build() {
    local dir=$1
    shift
    local generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$FRAMELOOP_ROOT" -B "$dir" "${generator[@]}" "$@"
    else
        cmake -S "$FRAMELOOP_ROOT" -B "$dir" "$@" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
}

# Sourced by the scripts: installs the Debian packages Frameloop needs when
# they are missing, builds a tree and starts a private X server. Uses sudo
# when not root.
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

# Starts a private Xvfb (1920x1080x24) on the first free display number in
# FIRST..LAST (default 90..140) and waits until it accepts connections:
#   frameloop_start_xvfb [FIRST LAST]
# Sets FRAMELOOP_XVFB_DISPLAY (":N") and FRAMELOOP_XVFB_PID; the caller ends
# the server by that pid. -noreset: by default the server resets whenever its
# last client leaves, and a client connecting during that reset fails to open
# the display.
frameloop_start_xvfb() {
    local first=${1:-90} last=${2:-140}
    local n pid log lock_pid tried=0
    FRAMELOOP_XVFB_DISPLAY=""
    FRAMELOOP_XVFB_PID=""
    if ! command -v Xvfb >/dev/null; then
        echo "Xvfb: not installed (Debian package xvfb)" >&2
        return 1
    fi
    log=$(mktemp) || return 1
    for n in $(seq "$first" "$last"); do
        if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
            continue
        fi
        Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$log" 2>&1 &
        pid=$!
        tried=$((tried + 1))
        # Up to 10 s for the socket. The lock file must name our server: another
        # one may have taken :N between the test above and our start, and then
        # ours exits and the next number is tried.
        for _ in $(seq 100); do
            lock_pid=$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock" || true)
            if [ -S "/tmp/.X11-unix/X$n" ] && [ "$lock_pid" = "$pid" ]; then
                rm -f "$log"
                FRAMELOOP_XVFB_DISPLAY=":$n"
                FRAMELOOP_XVFB_PID=$pid
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            echo "Xvfb :$n did not come up within 10 s; its output:" >&2
            sed 's/^/    /' "$log" >&2
            rm -f "$log"
            return 1
        fi
    done
    if [ $tried -eq 0 ]; then
        echo "Xvfb: no free X display number in :$first..:$last" >&2
    else
        echo "Xvfb: no display number in :$first..:$last could be used ($tried servers exited at start); the last one said:" >&2
        sed 's/^/    /' "$log" >&2
    fi
    rm -f "$log"
    return 1
}

# Sourced by the scripts: installs the Debian packages Frameloop needs when
# they are missing, builds a tree, starts a private X server and checks the
# formatting of the C++ sources. Uses sudo when not root.
#
# ImageMagick draws text with -font DejaVu-Sans everywhere: without -font it
# asks for Ghostscript's Helvetica, which a minimal Debian does not have.
FRAMELOOP_PACKAGES=(
    cmake ninja-build g++ pkgconf ccache clang-format clang libclang-rt-14-dev
    qt6-base-dev libgd-dev libpng-dev libjpeg-dev zlib1g-dev libgtest-dev
    libxcb1-dev libxcb-shm0-dev libxcb-xfixes0-dev
    xvfb xauth fonts-dejavu-core
    gifsicle imagemagick xdotool xclip x11-utils x11-apps ffmpeg time python3
    at-spi2-core python3-pyatspi python3-gi dbus
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
    "${sudo[@]}" apt-get update -q || return 1
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures and builds a tree: frameloop_build DIR [cmake options...] [-- targets...]
# Without targets everything is built.
frameloop_build() {
    local dir=$1
    shift
    local options=() targets=()
    while [ $# -gt 0 ]; do
        if [ "$1" = "--" ]; then
            shift
            targets=("$@")
            break
        fi
        options+=("$1")
        shift
    done
    local generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$FRAMELOOP_ROOT" -B "$dir" "${generator[@]}" "${options[@]}" || return 1
    else
        cmake -S "$FRAMELOOP_ROOT" -B "$dir" "${options[@]}" >/dev/null || return 1
    fi
    local target_args=()
    [ ${#targets[@]} -gt 0 ] && target_args=(--target "${targets[@]}")
    cmake --build "$dir" -j "$(nproc)" "${target_args[@]}"
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

# Checks every tracked *.cpp and *.h under src/, tests/, bench/ and fuzz/ (every such
# file when not in a git checkout) against .clang-format, and lists the files
# that deviate. Nothing is changed.
frameloop_check_format() {
    if ! command -v clang-format >/dev/null; then
        echo "clang-format: not installed (Debian package clang-format)" >&2
        return 1
    fi
    local files=()
    # git only when the project is the top of its own checkout: a copy unpacked
    # inside some other checkout is not tracked by it.
    if [ "$(git -C "$FRAMELOOP_ROOT" rev-parse --show-toplevel 2>/dev/null)" = "$FRAMELOOP_ROOT" ]; then
        mapfile -d '' files < <(git -C "$FRAMELOOP_ROOT" ls-files -z -- \
            'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
            'fuzz/*.cpp' 'fuzz/*.h')
    else
        mapfile -d '' files < <(cd "$FRAMELOOP_ROOT" &&
            find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
    fi
    if [ ${#files[@]} -eq 0 ]; then
        echo "clang-format: found no C++ sources under $FRAMELOOP_ROOT" >&2
        return 1
    fi
    local file out places deviating=() broken=()
    for file in "${files[@]}"; do
        # Tracked but deleted in the working tree: nothing to check.
        [ -e "$FRAMELOOP_ROOT/$file" ] || continue
        if out=$(clang-format --dry-run --Werror --style=file "$FRAMELOOP_ROOT/$file" 2>&1); then
            continue
        fi
        places=$(grep -c 'Wclang-format-violations' <<<"$out" || true)
        if [ "$places" -gt 0 ]; then
            [ "$places" -eq 1 ] && places="1 place" || places="$places places"
            deviating+=("$file ($places)")
        else
            # Not a formatting difference: clang-format itself failed.
            broken+=("$file: $(head -n 1 <<<"$out")")
        fi
    done
    local status=0
    if [ ${#broken[@]} -gt 0 ]; then
        echo "clang-format: could not check these files:" >&2
        printf '    %s\n' "${broken[@]}" >&2
        status=1
    fi
    if [ ${#deviating[@]} -gt 0 ]; then
        echo "clang-format: these files need formatting (run clang-format -i on them):" >&2
        printf '    %s\n' "${deviating[@]}" >&2
        status=1
    fi
    [ $status -eq 0 ] && echo "clang-format: ${#files[@]} files checked, all formatted"
    return $status
}

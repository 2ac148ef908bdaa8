# Shared by the scripts: install what is missing from Debian's packages.
# Sourced, not run.

# ensure_packages PKG...: installs the packages that are not installed yet; makes
# no apt call at all when every one is present.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# liquid-dsp is the export benchmark's yardstick only; nothing else links it.
BUILD_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev nlohmann-json3-dev
                libgtest-dev libbenchmark-dev libfftw3-dev libliquid-dev fonts-dejavu-core)
# The aarch64 cross build of io and dsp and its test run under emulation
# (GoogleTest built from the sources in googletest), and the clang build.
CROSS_PACKAGES=(g++-aarch64-linux-gnu qemu-user googletest clang)

# configure_and_build DIR [CMAKE ARGS...]
configure_and_build() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$ROOT/$dir" -j "$(nproc)"
}

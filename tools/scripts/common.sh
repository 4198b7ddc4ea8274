# Shared by ./run and ./test: Debian packages and the CMake build.
# shellcheck shell=bash

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libbenchmark-dev
                fonts-dejavu-core)
SANITIZE_PACKAGES=()
FUZZ_PACKAGES=(clang libfuzzer-14-dev libclang-rt-14-dev)

# Installs whatever of the given packages is missing. As root it does so with apt-get; otherwise
# it prints the one command that would and fails, since nothing else can build without them.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build <build dir> [extra cmake arguments...] [-- targets...]
configure_and_build() {
    local dir=$1
    shift
    local cmake_args=() targets=()
    while [ $# -gt 0 ]; do
        if [ "$1" = "--" ]; then
            shift
            targets=("$@")
            break
        fi
        cmake_args+=("$1")
        shift
    done
    cmake -S . -B "$dir" -G Ninja "${cmake_args[@]}" >/dev/null
    if [ ${#targets[@]} -gt 0 ]; then
        cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
    else
        cmake --build "$dir" -j "$(nproc)"
    fi
}

# The sanitizers' run-time options for ./test --sanitize.
sanitizer_environment() {
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
}

# run_fuzz_targets <build dir> <seconds each>: filled in with the fuzz targets.
run_fuzz_targets() {
    echo "no fuzz targets yet" >&2
    return 1
}

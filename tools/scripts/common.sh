# Shared by ./run and ./test: Debian packages and the CMake build.
# shellcheck shell=bash

# Every build: the tool chain, a font for windows drawn offscreen, and what HTTPS needs at run
# time (Qt loads OpenSSL only when a secure connection is made; a fresh system has no CA
# certificates).
# help2man writes the man pages from the programs' --help.
TOOL_PACKAGES=(cmake ninja-build g++ pkg-config fonts-dejavu-core libssl3 ca-certificates help2man)
# The default build: Qt 5, Google Benchmark and Google Highway (the batch propagator's SIMD
# code with run-time dispatch; configure with -DORBITRAK_SIMD=OFF to do without). The translations are built with Qt's
# LinguistTools (qttools5-dev, lupdate and lrelease in qttools5-dev-tools); Qt's own German
# texts for its standard dialogs come in qttranslations5-l10n. The pass tests read the exported
# calendar with python3-icalendar.
BUILD_PACKAGES=("${TOOL_PACKAGES[@]}" qtbase5-dev qtbase5-dev-tools libbenchmark-dev libhwy-dev
                qttools5-dev qttools5-dev-tools qttranslations5-l10n python3-icalendar)
# ./test --qt6, without Qt 5 or the benchmarks. Qt 6's CMake packages need the OpenGL headers
# (libgl-dev), and its offscreen platform plugin comes in qt6-qpa-plugins; its LinguistTools
# are in qt6-tools-dev, qt6-tools-dev-tools and qt6-l10n-tools, its own translations in
# qt6-translations-l10n.
QT6_PACKAGES=("${TOOL_PACKAGES[@]}" qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libhwy-dev
              qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n)
# ./test --package: shlibdeps for the package's dependencies, and the validators of the desktop
# entry and the AppStream metadata.
PACKAGE_PACKAGES=(dpkg-dev desktop-file-utils appstream)
# ./test --arm64: the cross tool chain and qemu-user, which runs arm64 programs here (binfmt need
# not be set up); the arm64 libraries through multiarch. Qt 5's moc, uic, rcc and lrelease stay
# the machine's own (qtbase5-dev-tools, qttools5-dev-tools, already in BUILD_PACKAGES).
ARM64_PACKAGES=(crossbuild-essential-arm64 qemu-user-static qtbase5-dev:arm64 qttools5-dev:arm64
                libhwy-dev:arm64 libbenchmark-dev:arm64)
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

# ensure_architecture <Debian architecture>: lets dpkg install that architecture's packages
# (multiarch); the next ensure_packages fetches their lists.
ensure_architecture() {
    local arch=$1
    if [ "$arch" = "$(dpkg --print-architecture)" ] ||
        dpkg --print-foreign-architectures | grep -qx "$arch"; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "The $arch packages need their architecture added. As root:" >&2
        echo "  sudo dpkg --add-architecture $arch && sudo apt-get update" >&2
        exit 1
    fi
    echo "Adding the architecture $arch"
    dpkg --add-architecture "$arch"
    apt-get update -qq
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

# The sanitizers' run-time options for ./test --sanitize and ./test --fuzz. Every finding
# stops the program. The leak suppressions (lsan.supp) name third-party code only, never ours.
sanitizer_environment() {
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$here/lsan.supp:print_suppressions=0
}

# run_fuzz_targets <build dir> <seconds each>: runs every fuzz target for that long on a
# scratch copy of its seeds (<build dir>/fuzz-corpus/<target>, made afresh each time, so the
# committed seeds stay small), one after the other. A crash, a sanitizer report, an input that
# takes over 10 s or a process above 2 GiB fails the target; its input is kept under
# <build dir>/fuzz-artifacts/<target>/ and its log beside it. Fails if any target failed.
run_fuzz_targets() {
    # Each target with the longest input it is given (bytes): a few element sets, a time table
    # of some dozens of records, a few dozen replies or commands, a few records of each form,
    # a horizon or magnitude list of some hundred lines, a datagram, a store of a few dozen
    # sites, four clock replies.
    local targets=(fuzz_catalogue:4096 fuzz_utc_table:4096 fuzz_mount_replies:2048
                   fuzz_mountsim_commands:2048 fuzz_element_forms:8192 fuzz_horizon:4096
                   fuzz_magnitudes:4096 fuzz_sntp_reply:512 fuzz_observing_sites:4096
                   fuzz_mount_clock:256)
    local dir seconds entry target max_len exe corpus artifacts log status
    dir=$(cd "$1" && pwd)
    seconds=$2
    local failed=() summary=()
    sanitizer_environment
    for entry in "${targets[@]}"; do
        target=${entry%%:*}
        max_len=${entry#*:}
        exe=$dir/tests/fuzz/$target
        corpus=$dir/fuzz-corpus/$target
        artifacts=$dir/fuzz-artifacts/$target
        log=$dir/fuzz-artifacts/$target.log
        rm -rf "$corpus" "$artifacts"
        mkdir -p "$corpus" "$artifacts"
        cp tests/fuzz/corpus/"$target"/* "$corpus"/
        echo "== $target: ${seconds} s, inputs up to $max_len bytes"
        status=0
        if [ ! -x "$exe" ]; then
            echo "$exe is missing" >"$log"
            status=1
        else
            "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
                -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" \
                "$corpus" >"$log" 2>&1 || status=$?
        fi
        local runs rate rss files
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
        rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
        files=$(find "$corpus" -type f | wc -l)
        if [ "$status" -ne 0 ]; then
            failed+=("$target")
            tail -n 60 "$log" >&2
            echo "$target FAILED (exit status $status); log: $log, input in $artifacts/" >&2
            echo "  to run that input again: $exe $artifacts/<file>" >&2
        fi
        summary+=("$(printf '%-24s %-6s %12s runs %8s/s %6s MiB peak %6s corpus files' \
            "$target" "$([ "$status" -eq 0 ] && echo ok || echo FAILED)" "${runs:-?}" \
            "${rate:-?}" "${rss:-?}" "$files")")
    done
    echo "== fuzzing, ${seconds} s per target:"
    printf '%s\n' "${summary[@]}"
    if [ ${#failed[@]} -gt 0 ]; then
        echo "fuzz targets failed: ${failed[*]}" >&2
        return 1
    fi
}

# make_package <build dir>: makes orbitrak_<version>_<arch>.deb there (its path in PACKAGE) and
# lists its files and dependencies.
make_package() {
    local dir
    dir=$(cd "$1" && pwd)
    rm -f "$dir"/orbitrak_*.deb
    (cd "$dir" && cpack -G DEB >/dev/null)
    PACKAGE=$(ls "$dir"/orbitrak_*.deb)
    echo "== $(basename "$PACKAGE")"
    dpkg-deb --contents "$PACKAGE" | awk '{print $6}'
    echo "Depends: $(dpkg-deb --field "$PACKAGE" Depends)"
}

# check_package <build dir>: makes orbitrak_<version>_<arch>.deb there, lists its files and
# dependencies, validates its desktop entry and metadata, installs it with apt-get (root only),
# starts the installed program from / with an empty home folder and a catalogue in the per-user
# data folder, checks that it read that catalogue and the installed time table, and removes the
# package again.
check_package() {
    local deb home out status
    make_package "$1"
    deb=$PACKAGE
    if [ "$(id -u)" -ne 0 ]; then
        echo "installing the package needs root; stopping after the listing" >&2
        return 1
    fi
    apt-get install -y -qq "$deb" >/dev/null
    status=0
    (
        set -e
        desktop-file-validate /usr/share/applications/org.halvstar.orbitrak.desktop
        appstreamcli validate --no-net /usr/share/metainfo/org.halvstar.orbitrak.metainfo.xml
        for program in orbitrak orbitrak-cli orbitrak-mountsim orbitrak-utctable; do
            "$program" --version
            [ -f "/usr/share/man/man1/$program.1.gz" ]
        done
        home=$(mktemp -d)
        mkdir -p "$home/.local/share/Halvstar/Orbitrak"
        head -n 30 tests/data/catalogue/active-2026-03.txt \
            >"$home/.local/share/Halvstar/Orbitrak/satell.txt"
        out=$(mktemp)
        (cd / && env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen \
            QT_LOGGING_RULES="orbitrak.catalogue.info=true" timeout 5 orbitrak >"$out" 2>&1) || true
        cat "$out"
        grep -q "^init_time_data OK with default data" "$out"
        grep -q "read 10 element sets from $home/.local/share/Halvstar/Orbitrak/satell.txt" "$out"
        rm -rf "$home" "$out"
        echo "the installed program read the per-user catalogue and the installed time table"
    ) || status=$?
    apt-get remove -y -qq orbitrak >/dev/null
    return $status
}

# The emulator that runs the arm64 programs here, with the multiarch loader and C library (the
# cross tool chain's loader does not fit them; see cmake/aarch64-linux-gnu.cmake).
ARM64_EMULATOR=(qemu-aarch64-static -L /)

# check_arm64_package <arm64 build dir> <x86-64 build dir>: makes the arm64 package and, since it
# cannot be installed here, checks it unpacked: its architecture, that shlibdeps named arm64
# libraries, the desktop entry and metadata, a man page and the version of each program run
# under the emulator, the time table byte for byte the x86-64 one, and orbitrak-cli's sky for
# the real catalogue against the x86-64 build's.
check_arm64_package() {
    local native deb root name status=0
    native=$(cd "$2" && pwd)
    make_package "$1"
    deb=$PACKAGE
    root=$(mktemp -d)
    dpkg-deb -x "$deb" "$root"
    (
        set -e
        [ "$(dpkg-deb --field "$deb" Architecture)" = arm64 ]
        # Every library shlibdeps named (one of each set of alternatives) is installed for
        # arm64: it read their shlibs, not the machine's own.
        local group alternative found
        while IFS= read -r group; do
            case $group in libssl3 | ca-certificates) continue ;; esac
            found=no
            for alternative in $(echo "$group" | tr '|' '\n' | awk '{print $1}'); do
                if dpkg-query -W -f='${Status}' "$alternative:arm64" 2>/dev/null |
                    grep -q "install ok installed"; then
                    found=yes
                fi
            done
            [ $found = yes ] || { echo "no arm64 package installed for \"$group\"" >&2; exit 1; }
        done < <(dpkg-deb --field "$deb" Depends | tr ',' '\n' | sed 's/^ *//')
        dpkg-deb --field "$deb" Depends | grep -q libqt5widgets5
        desktop-file-validate "$root/usr/share/applications/org.halvstar.orbitrak.desktop"
        appstreamcli validate --no-net "$root/usr/share/metainfo/org.halvstar.orbitrak.metainfo.xml"
        for name in orbitrak orbitrak-cli orbitrak-mountsim orbitrak-utctable; do
            readelf -h "$root/usr/bin/$name" | grep -q "Machine: *AArch64"
            QT_QPA_PLATFORM=offscreen "${ARM64_EMULATOR[@]}" "$root/usr/bin/$name" --version
            zcat "$root/usr/share/man/man1/$name.1.gz" | grep -q "^$name "
        done
        cmp "$root/usr/share/orbitrak/utc.bin" "$native/utc.bin"
        echo "the packaged time table, written on arm64, is byte for byte the x86-64 build's"
        compare_sky "$root/usr/bin/orbitrak-cli" "$native/tools/cli/orbitrak-cli"
    ) || status=$?
    rm -rf "$root"
    return $status
}

# compare_sky <arm64 orbitrak-cli> <x86-64 orbitrak-cli>: the sky of the real catalogue, as a
# table and as CSV, from both; every field must read the same, or for a number that differs in
# its last printed digit, within 1e-6.
compare_sky() {
    local arm x86 work form
    arm=$(realpath "$1")
    x86=$(realpath "$2")
    work=$(mktemp -d)
    cp "$(dirname "$x86")/../../utc.bin" "$work/"
    for form in table csv; do
        local args=(sky --tle "$PWD/tests/data/catalogue/active-2026-03.txt" --at 2026-03-19T12:00:00Z
                    --limit 0)
        [ "$form" = csv ] && args+=(--csv)
        (cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" "${ARM64_EMULATOR[@]}" "$arm" "${args[@]}" \
            >"arm64.$form")
        (cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" "$x86" "${args[@]}" >"x86-64.$form")
        python3 - "$work/arm64.$form" "$work/x86-64.$form" <<'PYTHON' || { rm -rf "$work"; return 1; }
import re, sys
arm, x86 = (open(name).read().splitlines() for name in sys.argv[1:3])
if len(arm) != len(x86) or len(x86) < 1000:
    sys.exit(f"sky: {len(arm)} lines on arm64, {len(x86)} on x86-64")
same = close = 0
worst = 0.0
number = re.compile(r"^[-+]?\d+\.\d+$")
for row, (a, b) in enumerate(zip(arm, x86), 1):
    if a == b:
        same += 1
        continue
    fa, fb = re.split(r"([,\s]+)", a), re.split(r"([,\s]+)", b)
    if len(fa) != len(fb):
        sys.exit(f"sky line {row} differs:\n  arm64:  {a}\n  x86-64: {b}")
    for x, y in zip(fa, fb):
        if x == y:
            continue
        if not (number.match(x) and number.match(y)) or abs(float(x) - float(y)) > 1e-6:
            sys.exit(f"sky line {row} differs beyond 1e-6:\n  arm64:  {a}\n  x86-64: {b}")
        worst = max(worst, abs(float(x) - float(y)))
    close += 1
print(f"sky ({sys.argv[1].rsplit('.', 1)[1]}): {len(x86)} lines, {same} identical on arm64 and "
      f"x86-64, {close} within 1e-6 (largest difference {worst:.1e})")
PYTHON
    done
    rm -rf "$work"
}

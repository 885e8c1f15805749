#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package that building, testing and benchmarking Voxlane needs.
# Idempotent: checks what is installed first and runs apt-get only when something is missing.
#
#   scripts/deps.sh          what `make build`, `make test`, `make bench` and `make package` need
#   scripts/deps.sh fuzz     that and the clang toolchain with libFuzzer for `make fuzz`
#   scripts/deps.sh fresh    only what `make test-fresh` needs on this machine (it builds its own
#                            Debian and runs this script there)
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake pkg-config
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # core libraries
    nlohmann-json3-dev libsndfile1-dev
    # the log's journal sink
    libsystemd-dev
    # the views (Qt 6 Widgets; the offscreen tests and screenshots need fontconfig and a font)
    qt6-base-dev fontconfig fonts-dejavu-core
    # the translations: lupdate and lrelease, and CMake's Qt6LinguistTools package
    qt6-l10n-tools qt6-tools-dev
    # the shell's X11 side: volume-key grabs and the compositor check
    libxcb1-dev
    # the volume-key test: a private X server and a key sender
    xvfb xdotool
    # the tests of the tray item, the shortcut portal and the control interface: a private
    # D-Bus session bus
    dbus-daemon
    # reference filters for the render comparison and test signals
    sox
    # the PipeWire backend, and the private PipeWire server of the integration tests
    libpipewire-0.3-dev libspa-0.2-dev pipewire pipewire-bin wireplumber
    # PulseAudio clients (paplay) through pipewire-pulse in the integration tests
    pipewire-pulse pulseaudio-utils
    # the package: CPack works out its dependencies with dpkg-shlibdeps, which runs file
    file
    # the metadata checks: the AppStream and desktop entry validators
    appstream desktop-file-utils
)

for group in "$@"; do
    case "$group" in
    fuzz)
        # clang 14 with its compiler runtime, which carries libFuzzer (libclang_rt.fuzzer)
        packages+=(clang-14 libclang-rt-14-dev)
        ;;
    fresh)
        # a minimal Debian to build and test in, and the clone put into it
        [ $# -eq 1 ] || { echo "deps: fresh goes alone" >&2; exit 2; }
        packages=(debootstrap git)
        ;;
    *)
        echo "deps: unknown group '$group' (known: fuzz, fresh)" >&2
        exit 2
        ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        sudo=(sudo)
    else
        echo "deps: missing packages (${missing[*]}) and not root; install them and try again" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

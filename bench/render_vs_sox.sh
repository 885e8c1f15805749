#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Wall time of voxlane-render with the voice preset against sox running the same five filters
# (the equaliser's cookbook sections) over 60 s of 48 kHz stereo, best of several interleaved
# runs each.
#
# usage: bench/render_vs_sox.sh [path/to/voxlane-render] [runs]
set -euo pipefail

render=${1:-build/tools/voxlane-render}
runs=${2:-5}
target=0.7

if [ ! -x "$render" ]; then
    echo "render_vs_sox: $render is not an executable (build first)" >&2
    exit 1
fi
command -v sox >/dev/null || { echo "render_vs_sox: sox is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tone per channel (220 Hz left, 3.1 kHz right) mixed with pink noise, peaks near -12 dBFS so
# that neither tool clips; 16-bit PCM, as most files are.
sox -n -r 48000 -c 2 -b 16 "$work/in.wav" synth 60 sine 220 sine 3100 synth 60 pinknoise mix \
    vol 0.25

# Voice preset: -5, -1.5, +1.5, +4, +1 dB.
sox_filters=(bass -5 100 1s equalizer 250 0.9q -1.5 equalizer 1000 0.9q 1.5
             equalizer 4000 0.9q 4 treble 1 10000 1s)

now() { date +%s.%N; }
seconds() { # command… → wall seconds
    local start end
    start=$(now)
    "$@" >/dev/null 2>&1
    end=$(now)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

best_vox="" best_sox=""
for ((i = 1; i <= runs; i++)); do
    t=$(seconds "$render" --preset voice "$work/in.wav" "$work/vox.wav")
    best_vox=$(min "$best_vox" "$t")
    t=$(seconds sox "$work/in.wav" -e floating-point -b 32 "$work/sox.wav" "${sox_filters[@]}")
    best_sox=$(min "$best_sox" "$t")
done

"$render" --preset voice "$work/in.wav" "$work/vox.wav" >/dev/null # must succeed
ratio=$(awk -v v="$best_vox" -v s="$best_sox" 'BEGIN { printf "%.3f", v / s }')
printf 'render_vs_sox: 60 s stereo 48 kHz, voice preset, best of %d\n' "$runs"
printf '  voxlane-render  %8.3f s\n' "$best_vox"
printf '  sox             %8.3f s\n' "$best_sox"
printf '  ratio voxlane/sox %.3f (target at most %s): %s\n' "$ratio" "$target" \
    "$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (r <= t) ? "met" : "NOT met" }')"

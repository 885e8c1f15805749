#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The translators' files, translations/voxlane_<language>.ts, against the texts in src/: lupdate
# collects every tr()/translate() text and every QT_TR_NOOP, QT_TRANSLATE_NOOP and
# VOXLANE_TRANSLATE_NOOP (the core's texts). voxlane_en.ts holds only the English plural forms
# ("%n silent app(s)" → "1 silent app", "2 silent apps"); every other file holds every text.
#
#   scripts/translations.sh LUPDATE                   bring the .ts files up to date in place
#   scripts/translations.sh --check LUPDATE SCRATCH   update copies in SCRATCH and fail if any
#                                                     text is new (untranslated), unfinished or
#                                                     gone from the sources
# The build updates nothing by itself: `cmake --build build --target update_translations` runs
# the first form, then a translator fills in what is new (Qt Linguist, or any editor).
set -eu

check=0
if [ "${1:-}" = --check ]; then
    check=1
    shift
fi
[ $# -ge 1 ] || { echo "usage: $0 [--check] LUPDATE [SCRATCH]" >&2; exit 2; }
lupdate=$1
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/translations
if [ "$check" = 1 ]; then
    [ $# -eq 2 ] || { echo "usage: $0 --check LUPDATE SCRATCH" >&2; exit 2; }
    rm -rf "$2"
    mkdir -p "$2"
    cp "$root"/translations/*.ts "$2"/
    dir=$2
fi

# Without -no-obsolete in the check, a text that left the sources stays behind as "vanished".
options="-locations none -tr-function-alias QT_TRANSLATE_NOOP+=VOXLANE_TRANSLATE_NOOP"
[ "$check" = 1 ] || options="$options -no-obsolete"
for ts in "$dir"/voxlane_*.ts; do
    plural=
    case "$ts" in */voxlane_en.ts) plural=-pluralonly ;; esac
    # (lupdate also reads the PipeWire backend, and says that it does not follow its classes.)
    # shellcheck disable=SC2086
    out=$(cd "$root" && "$lupdate" -silent $options $plural src -ts "$ts" 2>&1) ||
        { echo "$out"; exit 1; }
    echo "$out" | grep -v 'Ignoring definition of undeclared qualified class' | grep . || true
done
[ "$check" = 1 ] || exit 0

fail=0
for ts in "$dir"/voxlane_*.ts; do
    name=$(basename "$ts")
    messages=$(grep -c '<message' "$ts" || true)
    # A file that lupdate left empty would pass everything below.
    case "$name" in
    voxlane_en.ts) least=1 ;;
    *) least=100 ;;
    esac
    if [ "$messages" -lt "$least" ]; then
        echo "$name: only $messages texts; lupdate found no sources?"
        fail=1
    fi
    # Each message's source and its state, one per line.
    bad=$(awk '
        /<source>/ { sub(/^ *<source>/, ""); sub(/<\/source>.*/, ""); source = $0 }
        /<translation type="(unfinished|vanished|obsolete)"/ {
            match($0, /type="[a-z]+"/); print substr($0, RSTART + 6, RLENGTH - 7) ": " source }
        /<translation><\/translation>|<numerusform><\/numerusform>/ { print "empty: " source }
    ' "$ts")
    if [ -n "$bad" ]; then
        echo "$name: texts without a translation, or gone from the sources:"
        echo "$bad" | sed 's/^/  /'
        fail=1
    fi
done
if [ "$fail" = 1 ]; then
    echo "run: cmake --build build --target update_translations, then translate what is new"
    exit 1
fi
echo "ok: every text translated ($(grep -c '<message' "$dir"/voxlane_de.ts) in German)"

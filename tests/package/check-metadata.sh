#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what software centres and desktops read about Voxlane, in the source tree: the AppStream
# metadata and the desktop entry pass their validators, the metadata's screenshots are the
# README's, with their current sizes, and both say everything in German too.
#   check-metadata.sh SOURCE_DIR
set -eu
source_dir=$1
metainfo=$source_dir/data/io.github.voxlane.Voxlane.metainfo.xml
entry=$source_dir/data/io.github.voxlane.Voxlane.desktop
fail=0

appstreamcli validate --no-net "$metainfo" || fail=1
desktop-file-validate "$entry" || { echo "desktop-file-validate: $entry"; fail=1; }

# The component is the desktop entry's application.
id=$(sed -n 's:^ *<id>\(.*\)</id>$:\1:p' "$metainfo")
launchable=$(sed -n 's:^ *<launchable type="desktop-id">\(.*\)</launchable>$:\1:p' "$metainfo")
if [ "$launchable" != "$id.desktop" ] || [ "$(basename "$entry")" != "$launchable" ]; then
    echo "the component id ($id), its launchable ($launchable) and the desktop entry disagree"
    fail=1
fi

# Every screenshot of the README is offered, in the README's order, and no other; each one's
# recorded size is the image's (width and height are bytes 16 to 23 of a PNG, big-endian).
readme_images=$(grep -o '](docs/[^)]*\.png)' "$source_dir/README.md" | sed 's:^](\(.*\))$:\1:')
metainfo_images=$(sed -n 's:^ *<image type="source"[^>]*>https\://raw\.githubusercontent\.com/voxlane/voxlane/main/\(.*\)</image>$:\1:p' "$metainfo")
if [ "$readme_images" != "$metainfo_images" ]; then
    echo "the screenshots differ from the README's:"
    echo "README:   $(echo $readme_images)"
    echo "metainfo: $(echo $metainfo_images)"
    fail=1
fi
if [ "$(grep -c '<image' "$metainfo")" != "$(echo "$metainfo_images" | grep -c .)" ]; then
    echo "a screenshot is not a source image under https://raw.githubusercontent.com/voxlane/voxlane/main/"
    fail=1
fi
for image in $metainfo_images; do
    if [ ! -f "$source_dir/$image" ]; then
        echo "missing screenshot: $image"
        fail=1
        continue
    fi
    set -- $(od -An -v -tu1 -j16 -N8 "$source_dir/$image")
    size="width=\"$(($1 * 16777216 + $2 * 65536 + $3 * 256 + $4))\" height=\"$(($5 * 16777216 + $6 * 65536 + $7 * 256 + $8))\""
    grep -q "<image type=\"source\" $size>[^<]*/$image</image>" "$metainfo" ||
        { echo "the metadata does not give $image its size ($size)"; fail=1; }
done

# German beside the English: every text of the desktop entry, and the metadata's name, summary,
# paragraphs and list items, each followed by its German.
for key in Name GenericName Comment Keywords; do
    if grep -q "^$key=" "$entry" && ! grep -q "^$key\[de\]=" "$entry"; then
        echo "the desktop entry has no $key[de]"
        fail=1
    fi
done
for tag in name summary p li caption; do
    english=$(grep -c "<$tag>" "$metainfo" || true)
    german=$(grep -c "<$tag xml:lang=\"de\">" "$metainfo" || true)
    if [ "$english" != "$german" ]; then
        echo "the metadata has $english <$tag> in English and $german in German"
        fail=1
    fi
done

[ "$fail" = 0 ] || exit 1
echo "ok: $(echo "$metainfo_images" | grep -c .) screenshots"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file names its licence in its first line: C++ sources and headers under src, tests,
# tools, bench and fuzz start with "// SPDX-License-Identifier: GPL-3.0-or-later"; shell scripts
# carry "# SPDX-License-Identifier: GPL-3.0-or-later" right after their #! line, CMake files and
# the Makefile as their first line.
#
#   scripts/spdx-headers.sh          add the line where it is missing (and only there)
#   scripts/spdx-headers.sh --check  list the files that lack it; status 1 if there are any
#
# A file that already names a licence in that place (any SPDX-License-Identifier) is left alone.
set -euo pipefail

id='SPDX-License-Identifier: GPL-3.0-or-later'
check=0
case "${1:-}" in
--check) check=1 ;;
"") ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac
cd "$(dirname "$0")/.."

# Prints "PATH<TAB>LINE<TAB>HEADER" for every source file: the header belongs on line LINE.
sources() {
    local f first
    find src tests tools bench fuzz -path fuzz/corpus -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
        sort | while IFS= read -r f; do printf '%s\t1\t// %s\n' "$f" "$id"; done
    find . -path ./fuzz/corpus -prune -o -path './build*' -prune -o -path ./.git -prune -o -type f \
        \( -name CMakeLists.txt -o -name '*.cmake' -o -path ./Makefile \) -print |
        sed 's:^\./::' | sort | while IFS= read -r f; do printf '%s\t1\t# %s\n' "$f" "$id"; done
    find scripts tests tools bench fuzz .ci -path fuzz/corpus -prune -o -type f -print 2>/dev/null |
        sort | while IFS= read -r f; do
            IFS= read -r first <"$f" || true
            case "$first" in
            '#!'*sh | '#!'*sh' '*) printf '%s\t2\t# %s\n' "$f" "$id" ;;
            esac
        done
}

main() {
    local lacking=0 file line header present content first
    while IFS=$'\t' read -r file line header; do
        present=$(sed -n "${line}p" "$file")
        case "$present" in
        '// SPDX-License-Identifier: '* | '# SPDX-License-Identifier: '*) continue ;;
        esac
        lacking=$((lacking + 1))
        if [ "$check" = 1 ]; then
            echo "no licence header: $file"
            continue
        fi
        # Rewritten in place, so that the file keeps its mode.
        content=$(cat "$file"; echo x)
        content=${content%x}
        if [ "$line" = 1 ]; then
            printf '%s\n%s' "$header" "$content" >"$file"
        else
            first=${content%%$'\n'*}
            printf '%s\n%s\n%s' "$first" "$header" "${content#*$'\n'}" >"$file"
        fi
        echo "added: $file"
    done < <(sources)

    if [ "$check" = 1 ] && [ "$lacking" -gt 0 ]; then
        echo "$lacking file(s) lack '$id'; scripts/spdx-headers.sh adds it" >&2
        return 1
    fi
}
# The whole script is read before main runs, so that it could even rewrite itself.
main; exit $?

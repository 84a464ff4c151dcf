#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the project's SPDX licence line at the top of every source file that has none:
#   - C++ (*.h, *.cpp under src tools tests bench fuzz): "// SPDX-..." as the first line;
#   - CMake (CMakeLists.txt, *.cmake): "# SPDX-..." as the first line;
#   - shell scripts (*.sh, or a #! line naming sh or bash): "# SPDX-..." after the #! line.
# A file that names a licence of its own in its first two lines keeps it. Build folders
# (build*) are left alone. Running it twice changes nothing the second time.
# Usage: scripts/spdx.sh           add the line where it is missing
#        scripts/spdx.sh --check   list the files that lack it; status 1 if any do
set -euo pipefail
cd "$(dirname "$0")/.."

readonly identifier="SPDX-License-Identifier: GPL-3.0-or-later"

mode=add
case "${1:-}" in
    "") ;;
    --check) mode=check ;;
    *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

# Every file of the tree outside .git and the build folders, NUL-separated.
tree_files() {
    find . \( -path ./.git -o -path './build*' \) -prune -o -type f -print0
}

cpp_files() {
    find src tools tests bench fuzz -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null
}

cmake_files() {
    tree_files | while IFS= read -r -d '' file; do
        case "$file" in */CMakeLists.txt | *.cmake) printf '%s\0' "$file" ;; esac
    done
}

shell_files() {
    tree_files | while IFS= read -r -d '' file; do
        if [[ "$file" == *.sh ]] || head -n 1 "$file" 2>/dev/null | grep -qaE '^#!.*\b(ba)?sh\b'; then
            printf '%s\0' "$file"
        fi
    done
}

has_identifier() {
    head -n 2 "$1" | grep -qa "SPDX-License-Identifier:"
}

# Inserts text as line number `at` (1: before everything, 2: after the first line).
insert_line() {
    local file="$1" text="$2" at="$3" scratch
    scratch=$(mktemp "$file.XXXXXX")
    if [ "$at" -eq 1 ]; then
        { printf '%s\n' "$text"; cat "$file"; } >"$scratch"
    else
        { head -n 1 "$file"; printf '%s\n' "$text"; tail -n +2 "$file"; } >"$scratch"
    fi
    chmod --reference="$file" "$scratch"
    mv "$scratch" "$file"
}

missing=0
# Reads NUL-separated paths; either lists those without the line or gives them one.
handle() {
    local prefix="$1" at="$2" file
    while IFS= read -r -d '' file; do
        has_identifier "$file" && continue
        if [ "$mode" = check ]; then
            echo "${file#./}"
            missing=1
        else
            insert_line "$file" "$prefix $identifier" "$at"
        fi
    done
}

handle "//" 1 < <(cpp_files)
handle "#" 1 < <(cmake_files)
handle "#" 2 < <(shell_files)
exit "$missing"

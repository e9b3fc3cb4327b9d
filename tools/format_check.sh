#!/usr/bin/env bash
# Checks that every C, C++ and header file is laid out as .clang-format says, with the
# clang-format of this Debian release (14 on Debian 12, 19 on Debian 13: the options are chosen
# so that both read them alike). Names each file that is not; `clang-format -i FILE` fixes it.
#   tools/format_check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/source_folders.sh
mapfile -d '' files < <(find "${source_folders[@]}" \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)
version=$(clang-format --version)
if clang-format --dry-run -Werror "${files[@]}"; then
    echo "clang-format: ${#files[@]} files laid out as .clang-format says (${version##*version })"
else
    echo "clang-format: the files above differ from .clang-format (${version##*version })"
    exit 1
fi

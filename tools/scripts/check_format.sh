#!/usr/bin/env bash
# Checks that every C++ source follows the repository's .clang-format (column limit 100), with
# `clang-format --dry-run --Werror`. Lists the files that do not and fails; `clang-format -i
# FILE` fixes one. .ci/run runs this; ./test does not.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/scripts/common.sh
ensure_packages clang-format

# The limit every file was written to; a changed .clang-format would pass files it should not.
config=$(clang-format --style=file --assume-filename=astro/site.h --dump-config)
if ! grep -Eq '^ColumnLimit: +100$' <<<"$config"; then
    echo "check_format: .clang-format must set ColumnLimit: 100" >&2
    exit 1
fi

# Hand-written sources only, in every folder (a new library is checked without being listed):
# not the build trees nor the fuzz seeds, which are data.
mapfile -t files < <(find . \( -path './build*' -o -path ./rundir -o -path ./.git \
    -o -path ./tests/fuzz/corpus \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print |
    sed 's#^\./##' | LC_ALL=C sort)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if clang-format --dry-run --Werror --style=file "${files[@]}" 2>"$log"; then
    echo "check_format: ${#files[@]} files follow .clang-format"
    exit 0
fi
mapfile -t failed < <(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: .*/\1/p' "$log" | sort -u)
if [ ${#failed[@]} -eq 0 ]; then
    # clang-format failed for another reason (an unreadable file, a bad configuration).
    cat "$log" >&2
    exit 1
fi
printf '%s\n' "${failed[@]}" >&2
echo "check_format: ${#failed[@]} of ${#files[@]} files need clang-format -i" >&2
exit 1

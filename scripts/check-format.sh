#!/usr/bin/env bash
# Checks that every tracked C++ file matches .clang-format, without changing
# anything. Exits non-zero and names the files that differ.
#
#   scripts/check-format.sh            # uses clang-format from PATH
#   CLANG_FORMAT=clang-format-14 scripts/check-format.sh
#
# Fix a reported file with: clang-format -i <file>
set -euo pipefail

clang_format="${CLANG_FORMAT:-clang-format}"

if ! command -v "$clang_format" >/dev/null 2>&1; then
    echo "format check: '$clang_format' not found (install clang-format 14, e.g. apt-get install clang-format)" >&2
    echo "format check: FAIL"
    exit 1
fi

# Other major versions lay out some constructs differently, so a mismatch is
# worth knowing about when the check disagrees with a developer's editor.
version="$("$clang_format" --version)"
if [[ ! "$version" =~ version\ 14\. ]]; then
    echo "format check: note: the style was tuned for clang-format 14; found: $version" >&2
fi

# Tracked files only, so build folders and generated files are skipped.
repo_root="$(git -C "$(dirname "${BASH_SOURCE[0]}")" rev-parse --show-toplevel)"
cd "$repo_root"

if [[ ! -f .clang-format ]]; then
    echo "format check: no .clang-format in $repo_root" >&2
    echo "format check: FAIL"
    exit 1
fi

mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [[ ${#files[@]} -eq 0 ]]; then
    echo "format check: no tracked *.cpp or *.h files"
    echo "format check: PASS"
    exit 0
fi

output_file="$(mktemp)"
trap 'rm -f "$output_file"' EXIT

status=0
printf '%s\0' "${files[@]}" |
    xargs -0 -n 50 "$clang_format" --style=file --dry-run -Werror >"$output_file" 2>&1 || status=$?

if [[ $status -eq 0 ]]; then
    echo "format check: PASS (${#files[@]} files)"
    exit 0
fi

# Each violation is reported as "path:line:col: error: code should be
# clang-formatted"; list every file once.
mapfile -t offenders < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
    "$output_file" | sort -u)

if [[ ${#offenders[@]} -eq 0 ]]; then
    # Not a formatting difference: a bad .clang-format, a crash, an unreadable file.
    cat "$output_file" >&2
    echo "format check: clang-format failed (exit status $status)" >&2
else
    echo "format check: ${#offenders[@]} of ${#files[@]} files need formatting:"
    printf '  %s\n' "${offenders[@]}"
fi
echo "format check: FAIL"
exit 1

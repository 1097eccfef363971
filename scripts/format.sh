#!/usr/bin/env bash
# Formats the tool's sources as .clang-format says; with --check, changes
# nothing and fails when a file is not so formatted. The tests keep their
# hand-laid tables of expected pages and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages clang-format
mapfile -t files < <(git ls-files 'run/*' 'text/*' 'pagewriter/*' 'templating/*' 'platform/*' 'web_pictures/*' | grep -E '\.(cpp|h)$')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror "${files[@]}"
    echo "${#files[@]} files formatted as .clang-format says"
else
    clang-format -i "${files[@]}"
fi

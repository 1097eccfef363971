#!/usr/bin/env bash
# Formats the tool's sources as .clang-format says; with --check, changes
# nothing and fails when a file is not so formatted. Every C++ source that
# git tracks is taken, so that a new folder cannot be left out, but the
# tests', which keep their hand-laid tables of expected pages.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h' ':!:tests/*')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror "${files[@]}"
    echo "${#files[@]} files formatted as .clang-format says"
else
    clang-format -i "${files[@]}"
fi

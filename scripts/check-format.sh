#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted as .clang-format says.
#   --fix   formats the files in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Formatting differs from .clang-format: run ./scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "formatting: ${#files[@]} files as .clang-format says"

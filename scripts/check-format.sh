#!/usr/bin/env bash
# Checks that the sources follow .clang-format; prints what would change and
# fails if anything would. Quiet success where clang-format is not installed.
#   scripts/check-format.sh [file...]
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "clang-format is not installed: format not checked"
  exit 0
fi
if [ $# -gt 0 ]; then
  files=("$@")
elif command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- src tests tools bench fuzz | grep -E '\.(cpp|h)$')
else
  # A copy without git (an archive): every source file there is checked.
  echo "No git checkout: checking the .cpp and .h files found under src tests tools bench fuzz"
  mapfile -t files < <(find src tests tools bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "No source files found to check" >&2
  exit 1
fi
printf '%s\0' "${files[@]}" | xargs -0 -n 16 -P "$(nproc)" clang-format --dry-run --Werror

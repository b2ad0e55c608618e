#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it
# with the repository's .clang-format (the house style), and lists those files.
#   scripts/check-format.sh        check
#   scripts/check-format.sh --fix  rewrite the files in place
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh --format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format "$f" | cmp -s - "$f" || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "Not formatted (run scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "Formatting: ${#files[@]} files as .clang-format says"

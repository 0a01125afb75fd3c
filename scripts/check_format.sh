#!/usr/bin/env bash
# Checks that every C++ source of the project reads as the project's .clang-format (with
# clang-format-14) writes it; names the files that do not and fails. With --fix it formats them
# instead.
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$formatter" >/dev/null 2>&1; then
  echo "check_format: $formatter is not installed (scripts/install_deps.sh installs it)" >&2
  exit 2
fi

# The files git knows (tracked or new and not ignored); outside a checkout, every source below.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard \
    '*.cpp' '*.hpp' '*.h' '*.cc')
else
  mapfile -d '' files < <(find . -path ./build -prune -o -type f \
    \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.cc' \) -print0)
fi
existing=()
for file in "${files[@]}"; do
  [ -f "$file" ] && existing+=("$file")
done

if [ "${1:-}" = "--fix" ]; then
  printf '%s\0' "${existing[@]}" | xargs -0 -r -n 50 "$formatter" -i
  exit 0
fi

report=$(printf '%s\0' "${existing[@]}" |
  xargs -0 -r -n 50 "$formatter" --dry-run 2>&1 | grep -- '-Wclang-format-violations' || true)
if [ -n "$report" ]; then
  echo "These files are not formatted as .clang-format says (bash scripts/check_format.sh --fix):"
  echo "$report" | cut -d: -f1 | sort -u | sed 's/^/  /'
  exit 1
fi
echo "check_format: ${#existing[@]} files formatted as .clang-format says"

#!/usr/bin/env bash
# The tree's source style, checked before the tests run:
#  - every C++ file matches .clang-format (clang-format 14, Debian 12's);
#  - every project header is included by its path: from the tree's root
#    ("common/Format.h", "APP/tests/AppTestSupport.h") or, for a library's
#    public headers, from its include/ folder ("imaging/debayer.h"). Only
#    the C headers at the top of an include/ folder ("imaging.h") and moc
#    output go by their bare names.
# With --fix, the files are formatted in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi

if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi

status=0
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Files above do not match .clang-format: run scripts/check-format.sh --fix" >&2
  status=1
fi

mapfile -t bare_allowed < <(find */include */*/include -maxdepth 1 -name '*.h' -printf '%f\n')
pattern='^\s*#\s*include\s+"([^"/]+|\.\./[^"]*)"'
while IFS= read -r hit; do
  name=$(sed -E 's/.*"([^"]+)".*/\1/' <<<"$hit")
  [[ "$name" == *.moc ]] && continue
  printf '%s\n' "${bare_allowed[@]}" | grep -qxF "$name" && continue
  echo "$hit: include the header by its path from the tree's root" >&2
  status=1
done < <(grep -HnE "$pattern" "${files[@]}" || true)
exit $status

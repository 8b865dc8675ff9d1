#!/usr/bin/env bash
# Lists every C++ file that clang-format would change; exits 1 if there is one. `make format` mends them.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format missing" >&2; exit 1; }
status=0
while IFS= read -r file; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || { echo "not formatted: $file"; status=1; }
done < <(git ls-files '*.cpp' '*.h')
exit $status

#!/usr/bin/env bash
# Fails when any C++ file in the repository differs from what clang-format makes of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" clang-format
cd "$root"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "format: $(git ls-files '*.cpp' '*.h' | wc -l) files as clang-format writes them"

#!/usr/bin/env bash
# The house style, checked: every tracked C++ source as .clang-format lays it out, and every shell
# script free of shellcheck's warnings. Exits non-zero and names the offenders otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "=== lint: clang-format"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

echo "=== lint: shellcheck"
shellcheck scripts/*.sh bench/*.sh .ci/run

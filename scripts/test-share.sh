#!/bin/sh
# Prints the test code's share of the product code, in lines of tracked files:
#   test lines    files under tests/ and *_test.* files
#   product lines .cpp/.h/.c files outside tests/ and bench/
set -eu
cd "$(dirname "$0")/.."
count() { xargs -r cat | wc -l; }
tests=$(git ls-files | grep -E '^tests/|_test\.[^/]*$' | count)
product=$(git ls-files | grep -E '\.(cpp|h|c)$' | grep -vE '^(tests|bench)/' | count)
awk -v t="$tests" -v p="$product" \
    'BEGIN { printf "test lines %d / product lines %d = %.2fx\n", t, p, (p ? t / p : 0) }'

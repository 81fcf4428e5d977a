#!/usr/bin/env bash
# Builds every form and runs every test: the 64-bit and 32-bit Linux
# libraries, the 32-bit Windows DLL under Wine, then the 64-bit Linux tests
# under AddressSanitizer with UndefinedBehaviorSanitizer and under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in linux64 linux32 win32 linux64-asan linux64-tsan; do
  echo "=== $preset"
  start=$SECONDS
  cmake --workflow --preset "$preset"
  echo "=== $preset passed in $((SECONDS - start)) s"
done

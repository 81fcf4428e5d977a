#!/usr/bin/env bash
# Installs what is missing and builds the library in its three forms.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in linux64 linux32 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target ztv2_nt
done
echo "Built:"
ls -l build/linux64/libztv2_nt.so build/linux32/libztv2_nt.so build/win32/ztv2_nt.dll

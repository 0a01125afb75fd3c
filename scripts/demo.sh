#!/usr/bin/env bash
# Installs what is missing, builds the demo host in Release and runs it. Arguments go to the
# demo (see: bash scripts/demo.sh --help); the picture goes to build/release/ unless --output
# says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DBUILD_BENCHMARKS=OFF -DBUILD_TOOLS=ON > /dev/null
cmake --build build/release -j "$(nproc)" --target planning_demo

# The picture is named after the scenario; a later --output on the command line overrides it.
scenario=global
previous=""
for arg in "$@"; do
  if [ "$previous" = "--scenario" ]; then
    scenario=$arg
  fi
  previous=$arg
done
exec build/release/tools/demo/planning_demo --output "build/release/${scenario}_plans.png" "$@"

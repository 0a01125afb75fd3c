#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds the whole suite under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs it, then builds and runs
# the threading tests under ThreadSanitizer, then builds and tests the library on the real ROS 2
# Humble and Nav2 Humble (scripts/test_real_ros2.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh

# Every source reads as .clang-format writes it before anything is built.
bash scripts/check_format.sh

jobs=${JOBS:-$(nproc)}
# Line tables and -O1 keep sanitizer reports readable and halve the compile time of -O2 -g.
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
# A developer machine with ccache rebuilds only what changed, across checkouts of the project.
if command -v ccache >/dev/null 2>&1; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp}

# A test that fails is run once more, so that one unlucky schedule on a loaded machine does not
# fail the run; a test that fails twice fails it.
cmake -S . -B build/asan "${flags[@]}" -DENABLE_ASAN_UBSAN=ON \
  -DBUILD_BENCHMARKS=OFF -DBUILD_TOOLS=ON
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs" --repeat until-pass:2

cmake -S . -B build/tsan "${flags[@]}" -DENABLE_TSAN=ON \
  -DTHREADING_TESTS_ONLY=ON -DBUILD_BENCHMARKS=OFF -DBUILD_TOOLS=OFF
cmake --build build/tsan -j "$jobs"
ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L threading --repeat until-pass:2

# The same library on the real ROS 2 Humble and Nav2 Humble: an installed one, or one built once
# per machine from the source archives beside the project.
bash scripts/test_real_ros2.sh

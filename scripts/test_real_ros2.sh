#!/usr/bin/env bash
# The real ROS 2 stage: builds the project against ROS 2 Humble and Nav2 Humble (an installed
# one, or one built once from the source archives: scripts/ros2_humble.sh), runs every test that
# uses no stand-in test hook on it, the five demo scenarios (their outcomes must be the stand-in
# build's, from STAND_IN_DEMO) and the two-process test, all over Cyclone DDS on loopback only.
#
# STAND_IN_DEMO: the stand-in build's planning_demo to compare with (default: the sanitizer
# build's, which scripts/test.sh builds first).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-$(nproc)}
stand_in_demo=${STAND_IN_DEMO:-$root/build/asan/tools/demo/planning_demo}
work=$root/build/real

stage() { echo "== real ROS 2: $* ($(date -u +%T))"; }

stage "install"
prefix=$(bash scripts/ros2_humble.sh | tail -1)
# The setup scripts read variables that may be unset.
set +u
# shellcheck disable=SC1091
source "$prefix/setup.bash"
set -u
export RMW_IMPLEMENTATION=rmw_cyclonedds_cpp

# Loopback only: one interface, no multicast, this host as the only peer. ROS_LOCALHOST_ONLY
# would select the same interface a second time, which Cyclone refuses.
mkdir -p "$work"
cat >"$work/cyclonedds.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<CycloneDDS xmlns="https://cdds.io/config">
  <Domain Id="any">
    <General>
      <Interfaces><NetworkInterface address="127.0.0.1"/></Interfaces>
      <AllowMulticast>false</AllowMulticast>
    </General>
    <Discovery>
      <ParticipantIndex>auto</ParticipantIndex>
      <MaxAutoParticipantIndex>32</MaxAutoParticipantIndex>
      <Peers><Peer address="127.0.0.1"/></Peers>
    </Discovery>
  </Domain>
</CycloneDDS>
EOF
export CYCLONEDDS_URI="file://$work/cyclonedds.xml"
unset ROS_LOCALHOST_ONLY

stage "build"
# As a ROS 2 user builds it: the protocol packages and the library in one colcon workspace.
# -O1 without debug information: about 30 % less compile time than -O2 -g (6.6 against 9.2 min
# on three jobs here), and the outcomes checked here do not depend on speed. -Werror: the real
# build stays warning-free.
cmake_args=(-DVANTRELL_REAL_ROS2=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -DNDEBUG" "-DCMAKE_CXX_FLAGS=-Werror"
  -DBUILD_BENCHMARKS=OFF -DBUILD_TOOLS=ON -DPython3_EXECUTABLE=/usr/bin/python3)
if command -v ccache >/dev/null 2>&1; then
  cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
MAKEFLAGS="-j$jobs" PATH="/usr/bin:$PATH" colcon --log-base "$work/log" build \
  --base-paths "$root" "$root/platform/humble" \
  --build-base "$work/build" --install-base "$work/install" --merge-install \
  --executor sequential \
  --event-handlers console_direct- console_start_end+ console_stderr+ summary+ \
  --cmake-args "${cmake_args[@]}"
set +u
# shellcheck disable=SC1091
source "$work/install/setup.bash"
set -u
build=$work/build/vantrell_nav2_planning

stage "tests"
# Each test on a DDS domain of its own (set per test by the build), so that tests running side
# by side never see each other's nodes.
ctest --test-dir "$build" --output-on-failure -j "$jobs" --repeat until-pass:2

stage "demo scenarios"
bash scripts/compare_demo_outcomes.sh "$stand_in_demo" "$build/tools/demo/planning_demo" \
  "$work/demo"
stage "done"

#!/usr/bin/env bash
# Makes a real ROS 2 Humble + Nav2 Humble install available and prints its prefix (the folder
# holding setup.bash) as the last line of its output.
#
# Order of preference:
#   1. ROS2_HUMBLE_PREFIX, when it holds a setup.bash;
#   2. /opt/ros/humble, when it holds a setup.bash;
#   3. a build from the source archives in ../shared/ros2-humble beside the project (or
#      ROS2_HUMBLE_SOURCES) into ROS2_HUMBLE_CACHE (default /var/cache/vantrell/ros2-humble),
#      which lives outside the clone so that a second run on the same machine costs nothing:
#      a stamp file keyed by the archives' names says the install there is complete.
#
# ROS2_HUMBLE_JOBS sets the compile jobs of the from-source build (default 4).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

log() { echo "ros2_humble: $*" >&2; }

if [ -n "${ROS2_HUMBLE_PREFIX:-}" ] && [ -f "$ROS2_HUMBLE_PREFIX/setup.bash" ]; then
  log "using the install in $ROS2_HUMBLE_PREFIX"
  echo "$ROS2_HUMBLE_PREFIX"
  exit 0
fi
if [ -f /opt/ros/humble/setup.bash ]; then
  log "using the install in /opt/ros/humble"
  echo /opt/ros/humble
  exit 0
fi

sources=${ROS2_HUMBLE_SOURCES:-$root/../shared/ros2-humble}
if [ ! -f "$sources/SOURCES.txt" ]; then
  log "no install found and no source archives in $sources"
  exit 1
fi
sources=$(cd "$sources" && pwd)
cache=${ROS2_HUMBLE_CACHE:-/var/cache/vantrell/ros2-humble}
install=$cache/install
stamp=$cache/stamp

# What the project's real build uses; colcon builds these and what they depend on.
packages=(
  ament_cmake rosidl_default_generators rosidl_default_runtime
  rclcpp rclcpp_action rclcpp_lifecycle rmw_cyclonedds_cpp
  builtin_interfaces std_msgs geometry_msgs nav_msgs visualization_msgs statistics_msgs
  unique_identifier_msgs action_msgs
  tf2 tf2_ros tf2_geometry_msgs
  nav2_common nav2_msgs nav2_util nav2_costmap_2d nav2_core nav2_smoother nav2_map_server
  nav_2d_msgs nav_2d_utils
)
# What decides what gets built: the archives (their names carry their commits) and the packages.
key=$( (grep -v '^#' "$sources/SOURCES.txt" | awk '{print $1}' | sort; echo "${packages[*]}") |
  sha256sum | cut -c1-16)

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ] && [ -f "$install/setup.bash" ]; then
  log "using the install built before in $install"
  echo "$install"
  exit 0
fi

# Debian's colcon, Cyclone DDS (0.10, what Humble's rmw_cyclonedds_cpp expects) and the
# libraries the ROS 2 core and Nav2 packages build against.
deps=(
  colcon python3-colcon-ros python3-colcon-cmake python3-colcon-python-setup-py
  python3-colcon-package-selection python3-colcon-parallel-executor
  python3-colcon-recursive-crawl python3-colcon-library-path python3-colcon-bash
  python3-colcon-output python3-colcon-defaults python3-colcon-metadata
  python3-colcon-pkg-config python3-colcon-package-information python3-colcon-test-result
  cyclonedds-dev cyclonedds-tools python3-catkin-pkg python3-empy python3-lark python3-numpy
  libconsole-bridge-dev liborocos-kdl-dev libeigen3-dev libtinyxml2-dev libyaml-dev
  libspdlog-dev libgraphicsmagick++1-dev libboost-program-options-dev
)
PACKAGES_EXTRA="${deps[*]}" bash "$root/scripts/install_deps.sh" >&2

log "building ROS 2 Humble and Nav2 Humble from $sources into $install"
# A build of the same archives that stopped half-way goes on where it stopped; any other starts
# afresh.
if [ "$(cat "$cache/building" 2>/dev/null)" != "$key" ]; then
  rm -rf "$cache/build" "$install" "$cache/log"
fi
rm -rf "$cache/src" "$stamp"
mkdir -p "$cache/src"
echo "$key" >"$cache/building"
# Each archive holds one repository under a folder of its name; SOURCES.txt lists the package
# folders to take from it ("all" or "." for the whole repository).
while read -r archive repo _commit folders; do
  case "$archive" in '' | '#'*) continue ;; esac
  # libyaml is no package: its vendor package below builds it from the archive.
  case "$archive" in yaml+libyaml-*) continue ;; esac
  top=${repo##*/}
  if [ "${folders%% *}" = all ] || [ "${folders%% *}" = . ]; then
    tar xzf "$sources/$archive" -C "$cache/src"
  else
    # Only the folders listed (the rest of the repository has packages that need more).
    read -r -a wanted <<<"${folders%% (*}"
    tar xzf "$sources/$archive" -C "$cache/src" "${wanted[@]/#/$top/}"
  fi
done <"$sources/SOURCES.txt"

# The libyaml vendor package clones libyaml at build time: take the archive of the same
# commit instead, as the machines here reach no source host.
libyaml_archive=$(ls "$sources"/yaml+libyaml-*.tar.gz)
sed -i -e "s|GIT_REPOSITORY .*|URL $libyaml_archive|" -e '/GIT_TAG /d' -e '/GIT_CONFIG /d' \
  "$cache/src/libyaml_vendor/CMakeLists.txt"

# No Python bindings: the project is C++ only, and the introspection type supports are what
# Cyclone DDS uses. Without the Python generator in the workspace, message packages build none.
touch "$cache/src/rosidl_python/rosidl_generator_py/COLCON_IGNORE"
# Test-only packages: colcon follows test dependencies too, and nothing here is tested.
touch "$cache/src/rcl_interfaces/test_msgs/COLCON_IGNORE"

jobs=${ROS2_HUMBLE_JOBS:-4}
export MAKEFLAGS="-j$jobs"
export RMW_IMPLEMENTATION=rmw_cyclonedds_cpp
# A Python first on PATH other than Debian's lacks catkin_pkg and empy.
export PATH="/usr/bin:$PATH"
cd "$cache"
colcon --log-base "$cache/log" build --base-paths "$cache/src" \
  --build-base "$cache/build" --install-base "$install" --merge-install \
  --executor parallel --parallel-workers "$jobs" \
  --packages-up-to "${packages[@]}" \
  --event-handlers console_direct- console_start_end+ console_stderr+ summary+ \
  --cmake-args -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release \
  -DPython3_EXECUTABLE=/usr/bin/python3 -DPYTHON_EXECUTABLE=/usr/bin/python3 \
  "-DCMAKE_CXX_FLAGS=-Wno-error=maybe-uninitialized" >&2
echo "$key" >"$stamp"
rm -rf "$cache/build" "$cache/src" "$cache/log" "$cache/building"
log "install ready in $install"
echo "$install"

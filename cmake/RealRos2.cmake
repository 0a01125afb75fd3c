# The real ROS 2 Humble and Nav2 Humble packages in place of the stand-ins under platform/ros2
# and platform/nav2 (VANTRELL_REAL_ROS2): the same target names, each carrying the installed
# packages it stands for, so that platform/vantrell, src/ and the tools link unchanged.
# The protocol packages come from platform/humble, built in the same colcon workspace or
# installed beside ROS 2.

# vantrell_real_packages(<target> <package>...)
# An interface target carrying the include directories and libraries the packages export.
# Their headers are system headers: their warnings are not ours to mend. A macro: the packages'
# configuration files guard against a second inclusion with variables of the calling scope.
macro(vantrell_real_packages target)
  add_library(${target} INTERFACE)
  foreach(package IN ITEMS ${ARGN})
    find_package(${package} REQUIRED)
    target_include_directories(${target} SYSTEM INTERFACE ${${package}_INCLUDE_DIRS})
    target_link_libraries(${target} INTERFACE ${${package}_LIBRARIES} ${${package}_TARGETS})
    target_compile_definitions(${target} INTERFACE ${${package}_DEFINITIONS})
  endforeach()
endmacro()

vantrell_real_packages(ros2_interfaces
  builtin_interfaces std_msgs geometry_msgs nav_msgs sensor_msgs visualization_msgs
  lifecycle_msgs rcl_interfaces rosgraph_msgs tf2_msgs action_msgs unique_identifier_msgs
  nav2_msgs vantrell_protocol vantrell_nav2_protocol)
vantrell_real_packages(ros2_rclcpp rclcpp rclcpp_action rclcpp_lifecycle)
vantrell_real_packages(ros2_tf2 tf2 tf2_ros tf2_geometry_msgs)
vantrell_real_packages(nav2_costmap nav2_costmap_2d)
# map_io, the Savitzky-Golay smoother and the 2-D conversions come as the libraries their
# packages export.
vantrell_real_packages(nav2_util_lib nav2_util nav2_smoother nav2_map_server nav_2d_utils)

add_library(platform_ros2 INTERFACE)
target_link_libraries(platform_ros2 INTERFACE ros2_interfaces ros2_rclcpp ros2_tf2)
add_library(platform_nav2 INTERFACE)
target_link_libraries(platform_nav2 INTERFACE nav2_costmap nav2_util_lib)

# The stand-ins' test hooks do not exist here: tests that include them stay on the stand-in
# build (vantrell_add_test leaves them out), and their targets are empty.
foreach(hooks ros2_rclcpp_testing ros2_tf2_testing nav2_costmap_testing nav2_util_lib_testing
              platform_ros2_testing platform_nav2_testing)
  add_library(${hooks} INTERFACE)
endforeach()

# The few places where platform/vantrell meets an API that Humble shapes differently.
target_compile_definitions(nav2_costmap INTERFACE VANTRELL_REAL_ROS2)

# Test cases that check what only the stand-ins do, left out here (GTEST_FILTER, read by
# vantrell_add_test): the map loader's own refusals (Nav2's map_io words them its own way, and
# reading a FIFO as a map file waits for a writer), a bad input's standard error being one line
# (real ROS 2 logs there as the costmaps are created) and the exception type of a parameter
# declared with another type (real rclcpp throws InvalidParameterTypeException).
set(vantrell_real_excluded_planning_demo_options_test "MapFiles.*")
set(vantrell_real_excluded_foundation_parameter_helpers_test
    "DeclareAndGetParameter.ANameDeclaredWithAnotherTypeThrowsToTheCaller")
set(vantrell_real_excluded_planning_demo_scenario_test "DemoProgram.BadInputIsOneLineAndStatusTwo")
set(vantrell_real_excluded_coverage_benchmark_program_test
    "CoverageBenchmarkTest.RefusesBadCommandLinesAndInputsWithStatusOne")

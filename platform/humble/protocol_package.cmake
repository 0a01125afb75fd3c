# vantrell_protocol_package(<dependency>...)
# The interface package of the calling project as a real rosidl package, generated from the same
# definitions as the stand-in build's headers (platform/ros2/interfaces/definitions/<project>).
set(vantrell_protocol_definitions ${CMAKE_CURRENT_LIST_DIR}/../ros2/interfaces/definitions)

macro(vantrell_protocol_package)
  find_package(ament_cmake REQUIRED)
  find_package(rosidl_default_generators REQUIRED)
  foreach(dependency IN ITEMS ${ARGN})
    find_package(${dependency} REQUIRED)
  endforeach()
  set(definitions ${vantrell_protocol_definitions}/${PROJECT_NAME})
  file(GLOB_RECURSE interface_files RELATIVE ${definitions} CONFIGURE_DEPENDS
       ${definitions}/*.msg ${definitions}/*.srv ${definitions}/*.action)
  list(SORT interface_files)
  list(TRANSFORM interface_files PREPEND "${definitions}:")
  rosidl_generate_interfaces(${PROJECT_NAME} ${interface_files} DEPENDENCIES ${ARGN})
  ament_export_dependencies(rosidl_default_runtime)
  ament_package()
endmacro()

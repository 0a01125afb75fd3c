# vantrell_add_library(<target> <dir> [LIBS ...] [PRIVATE_LIBS ...])
# A shared library from every .cpp under <dir>/src with <dir>/include public,
# plus <target>_testing carrying <dir>/testing/include: the hooks that only
# tests may include. Hooks that need the library's insides are implemented in
# <dir>/testing/src and built into the library. Shared, not static: the
# stand-ins hold process-wide registries (topics, clocks, the communicator)
# that must exist once per process.
function(vantrell_add_library target dir)
  cmake_parse_arguments(L "" "" "LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/src/*.cpp ${dir}/testing/src/*.cpp)
  if(sources)
    add_library(${target} SHARED ${sources})
    target_include_directories(${target} PUBLIC ${dir}/include)
    target_link_libraries(${target} PUBLIC ${L_LIBS} PRIVATE ${L_PRIVATE_LIBS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${dir}/include)
    target_link_libraries(${target} INTERFACE ${L_LIBS})
  endif()
  add_library(${target}_testing INTERFACE)
  target_include_directories(${target}_testing INTERFACE ${dir}/testing/include)
  target_link_libraries(${target}_testing INTERFACE ${target})
endfunction()

# vantrell_add_test(<name> SOURCES ... [LIBS ...] [THREADING] [ENVIRONMENT ...])
# One GoogleTest executable, registered as one CTest test. THREADING labels it
# so that the ThreadSanitizer pass runs it as well.
function(vantrell_add_test name)
  cmake_parse_arguments(T "THREADING" "" "SOURCES;LIBS;ENVIRONMENT;ARGS" ${ARGN})
  if(THREADING_TESTS_ONLY AND NOT T_THREADING)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                        Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 180)
  if(T_THREADING)
    set_tests_properties(${name} PROPERTIES LABELS threading)
  endif()
  if(T_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
endfunction()

# vantrell_map_source_paths(<directory>)
# A compiler cache that shares results between checkouts (ccache with base_dir) hands the compiler
# source paths relative to the directory it compiles in, which the absolute prefix map does not
# match. Every target built under <directory> therefore also maps that relative path of the
# project root to "./".
function(vantrell_map_source_paths directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|STATIC_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      get_target_property(binary_dir ${target} BINARY_DIR)
      file(RELATIVE_PATH root ${binary_dir} ${PROJECT_SOURCE_DIR})
      string(REGEX REPLACE "/+$" "" root "${root}")
      target_compile_options(${target} PRIVATE -fmacro-prefix-map=${root}/=./)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    vantrell_map_source_paths(${subdirectory})
  endforeach()
endfunction()

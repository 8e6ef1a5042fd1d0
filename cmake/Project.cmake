# Shared settings for every target of the project.

set(PO_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers)
# gcc 12 at -O3 warns of overlapping copies inside std::string's own inline code (a known false
# alarm of its flow analysis); a Release build must not stop on it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND PO_WARNINGS -Wno-restrict)
endif()

if(PO_FUZZ)
  # Everything the targets link is instrumented for coverage and checked by the sanitizers; a
  # fault of undefined behaviour stops the run like a crash. The product build's warnings are
  # gcc's; clang's others are of no use here.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr
                      -fno-sanitize-recover=all -fno-omit-frame-pointer
                      -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/fuzz/coverage-ignore.txt)
  add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr)
  set(PO_WARNINGS -w)
elseif(PO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr)
endif()

# po_library(name [QT] SOURCES_DIR dir DEPS ...): one static library per source folder.
# Sources are picked up by glob so that adding a file needs no edit here.
function(po_library name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS;PRIVATE_DEPS" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h)
  add_library(${name} STATIC ${srcs})
  target_compile_options(${name} PRIVATE ${PO_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# po_test(name LABELS ... DEPS ...): one GoogleTest executable for a folder of tests.
function(po_test name)
  cmake_parse_arguments(ARG "" "DIR;TIMEOUT" "DEPS;LABELS" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h)
  add_executable(${name} ${srcs})
  target_compile_options(${name} PRIVATE ${PO_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock)
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Adds every listed sub-folder that has a CMakeLists.txt, in the given order.
macro(po_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endmacro()

# Helpers shared by every folder of the tree.

include(GoogleTest)

# Compiler warnings for the project's own targets.
function(qz_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(QZ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    # GCC 12 at -O3 reports overlapping copies inside std::basic_string that
    # cannot happen (its own inlined code, not ours); keep it a warning so
    # that an optimised build with -Werror still builds.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
  endif()
endfunction()

# qz_add_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# A static library whose public include root is src/, so that headers are
# included as "platform/automation/Variant.h", "core/ModErrors.h", ...
function(qz_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  qz_warnings(${name})
endfunction()

# qz_add_test(name LABELS a;b SOURCES ... DEPS ...)
# One GoogleTest binary; every test case becomes a CTest test carrying the
# labels, so that `ctest -L script` runs one group.
function(qz_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  # Every test binary runs with private home and temporary folders.
  add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/TestEnvironment.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    QZ_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QZ_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  qz_warnings(${name})
  # Discovered tests lose list separators in their properties, so the labels
  # are joined into one ("platform/script"); `ctest -L script` and
  # `ctest -L platform` both match it, as -L takes a regular expression.
  # In a binary labelled postgres, only the cases that reach the server
  # (their names say "Postgres") keep that label, so that `-LE postgres`
  # leaves out no more than those.
  set(server_labels ${ARG_LABELS})
  list(REMOVE_ITEM ARG_LABELS postgres)
  string(REPLACE ";" "/" labels "${ARG_LABELS}")
  if(NOT server_labels STREQUAL ARG_LABELS)
    string(REPLACE ";" "/" server_labels "${server_labels}")
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      TEST_FILTER "*Postgres*"
      PROPERTIES LABELS "${server_labels}" TIMEOUT 300)
    set(filter TEST_FILTER "-*Postgres*")
  else()
    set(filter)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    ${filter}
    PROPERTIES LABELS "${labels}" TIMEOUT 300)
endfunction()

# The program's manual page, written by the program itself each time it is
# built (into man/ of the build tree), and installed in share/man/man1.
function(qz_man_page target)
  set(page ${CMAKE_BINARY_DIR}/man/${target}.1)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DOUTPUT=${page}
            -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    VERBATIM)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

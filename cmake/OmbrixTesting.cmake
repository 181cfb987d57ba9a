# GoogleTest for both builds, and helpers that declare test executables.
# Natively the Debian libgtest-dev package is used; the Windows build compiles Debian's
# googletest sources with the cross compiler.
if(WIN32)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(OMBRIX_GTEST_MAIN gtest_main)
  set(OMBRIX_GTEST gtest)
else()
  find_package(GTest REQUIRED)
  set(OMBRIX_GTEST_MAIN GTest::gtest_main)
  set(OMBRIX_GTEST GTest::gtest)
endif()

# ombrix_test(NAME SOURCES... LIBS ...): one test executable, run as one ctest entry.
# Each writes its GoogleTest XML report into build/<preset>/test-reports so the test
# command can count individual test cases.
function(ombrix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${OMBRIX_GTEST_MAIN})
  # Under Wine the path must name its drive: a bare Unix path ends up under the test's
  # working folder, where nobody looks for the report. Z: is the Unix root.
  set(reports ${CMAKE_BINARY_DIR}/test-reports)
  if(WIN32)
    set(reports Z:${reports})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${reports}/${name}.xml)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  ombrix_fail_on_crash(${name})
endfunction()

# Wine reports a test process that crashed with exit status 0 once its debugger has printed
# the crash, and a crash comes before the XML report: without this the test would pass.
function(ombrix_fail_on_crash name)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FAIL_REGULAR_EXPRESSION "Unhandled (page fault|exception|stack overflow)")
  endif()
endfunction()

# Helpers shared by the project's CMake files.

# A resource-only DLL: no code, no entry point, no C runtime.
function(korvelin_resource_dll name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  if(MSVC)
    target_link_options(${name} PRIVATE /NOENTRY)
  else()
    target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0 -Wl,--no-insert-timestamp)
  endif()
endfunction()

# One test executable per library area. ctest runs it through Wine (the
# toolchain's emulator); a crash gives a non-zero exit and a hang hits the
# time-out, so neither can pass silently.
set(KORVELIN_TEST_TIMEOUT 300 CACHE STRING "Seconds a test executable may run")
function(korvelin_add_test name)
  cmake_parse_arguments(T "OWN_MAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE gtest_main)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${KORVELIN_TEST_TIMEOUT})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

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

# The project's libraries are built twice: as they ship (release flags) and,
# for the tests, "checked" (assertions on), so the preconditions the code
# asserts are exercised. Tests link only checked libraries; the names listed
# here are mapped to their checked twins.
set(KORVELIN_CHECKED_LIBRARIES appframe winlib korvelin_ops korvelin_ui korvelin_lab_backend
    korvelin_lab_scenario korvelin_labservice_installer)

function(_korvelin_checked_names out)
  set(mapped)
  foreach(lib IN LISTS ARGN)
    if(lib IN_LIST KORVELIN_CHECKED_LIBRARIES)
      list(APPEND mapped ${lib}_checked)
    else()
      list(APPEND mapped ${lib})
    endif()
  endforeach()
  set(${out} ${mapped} PARENT_SCOPE)
endfunction()

# Makes <lib>_checked of every listed library: same sources, include
# directories and definitions, linked to the checked twins of its own links.
# Called once all libraries exist.
function(korvelin_add_checked_libraries)
  foreach(lib IN LISTS KORVELIN_CHECKED_LIBRARIES)
    get_target_property(type ${lib} TYPE)
    get_target_property(dir ${lib} SOURCE_DIR)
    get_target_property(sources ${lib} SOURCES)
    set(absolute)
    foreach(source IN LISTS sources)
      if(IS_ABSOLUTE "${source}")
        list(APPEND absolute "${source}")
      else()
        list(APPEND absolute "${dir}/${source}")
      endif()
    endforeach()
    if(type STREQUAL "OBJECT_LIBRARY")
      add_library(${lib}_checked OBJECT ${absolute})
    else()
      add_library(${lib}_checked STATIC ${absolute})
    endif()
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS
                     INTERFACE_COMPILE_DEFINITIONS COMPILE_OPTIONS)
      get_target_property(value ${lib} ${property})
      if(value)
        set_property(TARGET ${lib}_checked PROPERTY ${property} "${value}")
      endif()
    endforeach()
    get_target_property(links ${lib} LINK_LIBRARIES)
    if(links)
      _korvelin_checked_names(links ${links})
      target_link_libraries(${lib}_checked PUBLIC ${links})
    endif()
    target_compile_options(${lib}_checked PRIVATE -UNDEBUG)
    set_target_properties(${lib}_checked PROPERTIES EXCLUDE_FROM_ALL ON)
  endforeach()
endfunction()

# korvelin_tests builds every test executable and nothing else (not the
# shipped program): what a quick build-and-test loop needs.
function(korvelin_add_tests_target)
  get_property(targets GLOBAL PROPERTY KORVELIN_TEST_TARGETS)
  add_custom_target(korvelin_tests)
  add_dependencies(korvelin_tests ${targets})
endfunction()

# A library of test helpers: linked to the checked libraries.
function(korvelin_add_test_library name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${T_SOURCES})
  _korvelin_checked_names(libs ${T_LIBS})
  target_link_libraries(${name} PUBLIC ${libs} gmock gtest)
  target_compile_options(${name} PRIVATE -UNDEBUG)
endfunction()

# One test executable per library area. ctest runs it through Wine (the
# toolchain's emulator); a crash gives a non-zero exit (CrashExit.cpp makes
# sure of it) and a hang hits the time-out, so neither can pass silently.
set(KORVELIN_TEST_TIMEOUT 300 CACHE STRING "Seconds a test executable may run")
function(korvelin_add_test name)
  cmake_parse_arguments(T "OWN_MAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/winlib/tests/support/CrashExit.cpp)
  _korvelin_checked_names(libs ${T_LIBS})
  target_link_libraries(${name} PRIVATE ${libs} gmock gtest)
  target_compile_options(${name} PRIVATE -UNDEBUG)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE gtest_main)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${KORVELIN_TEST_TIMEOUT})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_property(GLOBAL APPEND PROPERTY KORVELIN_TEST_TARGETS ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

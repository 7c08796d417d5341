# Project-wide compile options and the two helpers every folder uses to declare its
# libraries and tests.

set(ZYR_WARNINGS -Wall -Wextra -Wpedantic -Werror)
if(WIN32)
  # UNICODE entry points and wide Win32 calls everywhere; the one header that includes
  # windows.h sets the rest.
  set(ZYR_DEFINITIONS UNICODE _UNICODE)
  # Everything linked statically: the executables import Windows system DLLs only.
  set(ZYR_LINK_OPTIONS -static -static-libgcc -static-libstdc++)
else()
  set(ZYR_DEFINITIONS)
  set(ZYR_LINK_OPTIONS)
endif()

if(ZYR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

function(zyr_apply_project_options target)
  target_compile_options(${target} PRIVATE ${ZYR_WARNINGS})
  target_compile_definitions(${target} PRIVATE ${ZYR_DEFINITIONS})
  target_link_options(${target} PRIVATE ${ZYR_LINK_OPTIONS})
endfunction()

# zyr_library(<name> PORTABLE <files> [WINDOWS <files>] [NATIVE <files>]
#             [LINKS <targets>] [WINDOWS_LINKS <libs>] [NATIVE_LINKS <libs>])
# PORTABLE files build everywhere and never include windows.h; WINDOWS files are the
# Win32 halves (name_win.cpp); NATIVE files stand in for them in the Linux build. A
# library with no sources for the current build is not declared.
function(zyr_library name)
  cmake_parse_arguments(A "" "" "PORTABLE;WINDOWS;NATIVE;LINKS;WINDOWS_LINKS;NATIVE_LINKS" ${ARGN})
  set(sources ${A_PORTABLE})
  set(links ${A_LINKS})
  if(WIN32)
    list(APPEND sources ${A_WINDOWS})
    list(APPEND links ${A_WINDOWS_LINKS})
  else()
    list(APPEND sources ${A_NATIVE})
    list(APPEND links ${A_NATIVE_LINKS})
  endif()
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${links})
  zyr_apply_project_options(${name})
endfunction()

# zyr_test(<name> SOURCES <files> [LINKS <targets>] [WINDOWS_ONLY] [ENVIRONMENT <k=v>...]
#          [ARGS <args>] [TIMEOUT <seconds>] [LABELS <labels>])
# A GoogleTest executable registered with ctest. In the Windows build ctest runs it under
# Wine through the cross-compiling emulator (scripts/wine-run).
function(zyr_test name)
  cmake_parse_arguments(A "WINDOWS_ONLY" "TIMEOUT" "SOURCES;LINKS;ENVIRONMENT;ARGS;LABELS" ${ARGN})
  if(A_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  if(WIN32)
    # Common controls 6 (task dialogs) need the same manifest as the launcher.
    target_sources(${name} PRIVATE ${ZYR_TEST_MANIFEST_RC})
  endif()
  target_link_libraries(${name} PRIVATE ${A_LINKS} zyr::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  zyr_apply_project_options(${name})
  zyr_register_test(${name} ${name} ARGS ${A_ARGS} ENVIRONMENT ${A_ENVIRONMENT}
    TIMEOUT ${A_TIMEOUT} LABELS ${A_LABELS})
endfunction()

# zyr_register_test(<test name> <executable target> [ARGS ...] [ENVIRONMENT ...] ...)
# Registers one more ctest entry for an existing test executable, for example the same
# executable under another locale.
function(zyr_register_test test_name target)
  cmake_parse_arguments(A "" "TIMEOUT" "ARGS;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT TARGET ${target})
    return()  # a Windows-only executable in the native build
  endif()
  add_test(NAME ${test_name} COMMAND ${target} ${A_ARGS})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set(labels ${A_LABELS})
  if(WIN32)
    list(APPEND labels windows)
  else()
    list(APPEND labels native)
  endif()
  set_tests_properties(${test_name} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${labels}")
  if(A_ENVIRONMENT)
    set_tests_properties(${test_name} PROPERTIES ENVIRONMENT "${A_ENVIRONMENT}")
  endif()
endfunction()

if(WIN32)
  set(ZYR_TEST_MANIFEST_RC ${PROJECT_BINARY_DIR}/generated/test_manifest.rc)
  file(WRITE ${ZYR_TEST_MANIFEST_RC}
    "1 24 \"${PROJECT_SOURCE_DIR}/src/launcher/application.manifest\"\n")
endif()

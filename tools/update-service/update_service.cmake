# The update service as a ctest fixture for the Windows tests: started once per test run,
# stopped by its process id when the last test that needs it has finished. The start also
# makes sure the test prefix trusts the test authority.
#
#   include(${PROJECT_SOURCE_DIR}/tools/update-service/update_service.cmake)
#   zyr_use_update_service(<test> [CONTROLS])
#
# Tests find the service's state folder (requests.log, control files) in the environment
# variable ZYR_UPDATE_SERVICE_STATE. CONTROLS marks a test that writes control files: such
# tests run one at a time.
include_guard(GLOBAL)

set(ZYR_UPDATE_SERVICE_STATE ${PROJECT_BINARY_DIR}/update-service)
set(ZYR_UPDATE_SERVICE ${PROJECT_SOURCE_DIR}/tools/update-service/update_service.py)

if(WIN32)
  add_test(NAME update_service_start
    COMMAND /usr/bin/python3 ${ZYR_UPDATE_SERVICE} start --trust-ca
      --state ${ZYR_UPDATE_SERVICE_STATE})
  # Another test run on this machine may hold the fixed port for a while.
  set_tests_properties(update_service_start PROPERTIES
    FIXTURES_SETUP update_service TIMEOUT 1000 LABELS windows)
  add_test(NAME update_service_stop
    COMMAND /usr/bin/python3 ${ZYR_UPDATE_SERVICE} stop --state ${ZYR_UPDATE_SERVICE_STATE})
  set_tests_properties(update_service_stop PROPERTIES
    FIXTURES_CLEANUP update_service LABELS windows)
endif()

function(zyr_use_update_service test)
  cmake_parse_arguments(A "CONTROLS" "" "" ${ARGN})
  if(NOT TEST ${test})
    return()
  endif()
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED update_service)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
    ZYR_UPDATE_SERVICE_STATE=${ZYR_UPDATE_SERVICE_STATE})
  if(A_CONTROLS)
    set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK update_service_controls)
  endif()
endfunction()

# Deployment constants compiled into the launcher. The defaults are the local development
# ones: the update service and website on this machine, and the development release key
# whose private half lives in keys/ for the tests and the demo.

file(READ ${PROJECT_SOURCE_DIR}/keys/dev-release-signing.pub.hex ZYR_DEV_RELEASE_PUBLIC_KEY)
string(STRIP "${ZYR_DEV_RELEASE_PUBLIC_KEY}" ZYR_DEV_RELEASE_PUBLIC_KEY)

set(ZYR_UPDATE_SERVICE_HOST "localhost" CACHE STRING "Host name of the update service (port 25556 is fixed)")
set(ZYR_WEBSITE_HOST "localhost" CACHE STRING "Host name of the product website (update-details page)")
set(ZYR_RELEASE_PUBLIC_KEY "${ZYR_DEV_RELEASE_PUBLIC_KEY}" CACHE STRING
  "Release-signing Ed25519 public key, 64 hexadecimal digits")

if(NOT ZYR_RELEASE_PUBLIC_KEY MATCHES "^[0-9a-fA-F]+$")
  message(FATAL_ERROR "ZYR_RELEASE_PUBLIC_KEY must be 64 hexadecimal digits")
endif()
string(LENGTH "${ZYR_RELEASE_PUBLIC_KEY}" key_length)
if(NOT key_length EQUAL 64)
  message(FATAL_ERROR "ZYR_RELEASE_PUBLIC_KEY must be 64 hexadecimal digits")
endif()
foreach(host ZYR_UPDATE_SERVICE_HOST ZYR_WEBSITE_HOST)
  if(NOT "${${host}}" MATCHES "^[A-Za-z0-9.-]+$")
    message(FATAL_ERROR "${host} must be a plain host name")
  endif()
endforeach()

string(TOLOWER "${ZYR_RELEASE_PUBLIC_KEY}" ZYR_RELEASE_PUBLIC_KEY_LOWER)
if(ZYR_RELEASE_PUBLIC_KEY_LOWER STREQUAL ZYR_DEV_RELEASE_PUBLIC_KEY)
  set(ZYR_USES_DEV_KEY 1)
  set(ZYR_SIGNING_KEY_NOTE "Development release-signing key: not for distribution")
  message(WARNING "This build embeds the DEVELOPMENT release-signing key, whose private half is "
    "public in keys/. Pass -DZYR_RELEASE_PUBLIC_KEY=<hex> for a production build.")
else()
  set(ZYR_USES_DEV_KEY 0)
  set(ZYR_SIGNING_KEY_NOTE "Production release-signing key")
endif()

# The key as a C++ initializer list of 32 bytes.
set(ZYR_RELEASE_PUBLIC_KEY_BYTES "")
foreach(i RANGE 0 62 2)
  string(SUBSTRING "${ZYR_RELEASE_PUBLIC_KEY_LOWER}" ${i} 2 byte)
  string(APPEND ZYR_RELEASE_PUBLIC_KEY_BYTES "0x${byte}, ")
endforeach()

set(ZYR_GENERATED_INCLUDE ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/build_settings.h.in ${ZYR_GENERATED_INCLUDE}/zyr/build_settings.h @ONLY)
add_library(zyr_build_settings INTERFACE)
target_include_directories(zyr_build_settings INTERFACE ${ZYR_GENERATED_INCLUDE})

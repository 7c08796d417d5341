# Third-party libraries as imported targets with the same names on both builds:
#   zyr::crypto (OpenSSL libcrypto), zyr::zip (libzip), zyr::rapidjson, zyr::gtest_main.
# The Linux build uses Debian's packages; the Windows build uses the static builds that
# scripts/setup.sh made from Debian's source packages and listed in windows-deps.cmake.

# RapidJSON is header-only; the Windows build uses the same headers.
find_path(ZYR_RAPIDJSON_INCLUDE rapidjson/document.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(zyr::rapidjson INTERFACE IMPORTED GLOBAL)
# -isystem keeps its warnings out of our -Werror; the platform's <rapidjson> copy of the
# headers is used as installed.
# The headers are reached through a folder of their own: /usr/include itself on the include
# path would put the host's C headers before mingw-w64's in the Windows build.
set(ZYR_RAPIDJSON_ROOT ${PROJECT_BINARY_DIR}/rapidjson-include)
file(MAKE_DIRECTORY ${ZYR_RAPIDJSON_ROOT})
file(CREATE_LINK ${ZYR_RAPIDJSON_INCLUDE}/rapidjson ${ZYR_RAPIDJSON_ROOT}/rapidjson SYMBOLIC)
set_target_properties(zyr::rapidjson PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${ZYR_RAPIDJSON_ROOT}
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${ZYR_RAPIDJSON_ROOT})

if(WIN32)
  if(NOT ZYR_WINDOWS_DEPS)
    if(DEFINED ENV{ZYR_DEPS_CACHE})
      set(ZYR_WINDOWS_DEPS "$ENV{ZYR_DEPS_CACHE}/windows-deps.cmake")
    else()
      set(ZYR_WINDOWS_DEPS "$ENV{HOME}/.cache/zyr-deps/windows-deps.cmake")
    endif()
  endif()
  if(NOT EXISTS "${ZYR_WINDOWS_DEPS}")
    message(FATAL_ERROR "${ZYR_WINDOWS_DEPS} not found: run scripts/setup.sh first")
  endif()
  include("${ZYR_WINDOWS_DEPS}")

  add_library(zyr::crypto STATIC IMPORTED GLOBAL)
  set_target_properties(zyr::crypto PROPERTIES
    IMPORTED_LOCATION ${ZYR_WIN_OPENSSL_ROOT}/lib/libcrypto.a
    INTERFACE_INCLUDE_DIRECTORIES ${ZYR_WIN_OPENSSL_ROOT}/include
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${ZYR_WIN_OPENSSL_ROOT}/include
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;user32;advapi32")

  find_library(ZYR_WIN_ZLIB NAMES libz.a z PATHS /usr/x86_64-w64-mingw32/lib REQUIRED)
  add_library(zyr::zip STATIC IMPORTED GLOBAL)
  set_target_properties(zyr::zip PROPERTIES
    IMPORTED_LOCATION ${ZYR_WIN_LIBZIP_ROOT}/lib/libzip.a
    INTERFACE_INCLUDE_DIRECTORIES ${ZYR_WIN_LIBZIP_ROOT}/include
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${ZYR_WIN_LIBZIP_ROOT}/include
    INTERFACE_COMPILE_DEFINITIONS ZIP_STATIC
    INTERFACE_LINK_LIBRARIES "${ZYR_WIN_ZLIB};advapi32")

  add_library(zyr::gtest STATIC IMPORTED GLOBAL)
  set_target_properties(zyr::gtest PROPERTIES
    IMPORTED_LOCATION ${ZYR_WIN_GTEST_ROOT}/lib/libgtest.a
    INTERFACE_INCLUDE_DIRECTORIES ${ZYR_WIN_GTEST_ROOT}/include
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${ZYR_WIN_GTEST_ROOT}/include)
  add_library(zyr::gtest_main STATIC IMPORTED GLOBAL)
  set_target_properties(zyr::gtest_main PROPERTIES
    IMPORTED_LOCATION ${ZYR_WIN_GTEST_ROOT}/lib/libgtest_main.a
    INTERFACE_LINK_LIBRARIES zyr::gtest)
  add_library(zyr::gmock STATIC IMPORTED GLOBAL)
  set_target_properties(zyr::gmock PROPERTIES
    IMPORTED_LOCATION ${ZYR_WIN_GTEST_ROOT}/lib/libgmock.a
    INTERFACE_LINK_LIBRARIES zyr::gtest)
else()
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  add_library(zyr::crypto ALIAS OpenSSL::Crypto)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET GLOBAL libzip)
  add_library(zyr::zip ALIAS PkgConfig::LIBZIP)
  find_package(GTest REQUIRED)
  add_library(zyr::gtest ALIAS GTest::gtest)
  add_library(zyr::gtest_main ALIAS GTest::gtest_main)
  add_library(zyr::gmock ALIAS GTest::gmock)
endif()

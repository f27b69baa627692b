# Every dependency comes from a Debian 12 package (scripts/bootstrap installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(EXPAT REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(fmt REQUIRED)
list(APPEND CMAKE_MODULE_PATH /usr/share/cmake/geographiclib)
find_package(GeographicLib REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)

# Header-only libraries that Debian ships without a CMake package of their own.
find_path(HOWARD_DATE_INCLUDE date/date.h REQUIRED)
find_path(HTTPLIB_INCLUDE httplib.h REQUIRED)
find_path(CLI11_INCLUDE CLI/CLI.hpp REQUIRED)

if(QUORVELA_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(QUORVELA_BUILD_BENCH AND NOT QUORVELA_FUZZ)
  find_package(benchmark REQUIRED)
endif()

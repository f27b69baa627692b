# Installation: public headers, both libraries, the two tools, a CMake package
# (find_package(Quorvela CONFIG)) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORVELA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvela
  CACHE STRING "Where the CMake package files go, relative to the prefix")

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quorvela
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Headers
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/quorvela/Export.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvela
  COMPONENT Headers)

# The build tree links the dependencies through the internal qv_deps target;
# the installed static library names them as imported targets instead, which
# QuorvelaConfig.cmake recreates with find_dependency (and quorvela.pc lists
# as private requirements). The shared library hides them completely.
# Each qv_deps entry is translated here, so a new dependency only needs a new
# branch when it is of a kind not seen before.
get_target_property(_qv_deps qv_deps INTERFACE_LINK_LIBRARIES)
set(_find_deps)
set(_pc_requires)
set(_pc_libs)
set(_pkg_deps)
foreach(dep IN LISTS _qv_deps)
  if(dep STREQUAL "Threads::Threads")
    list(APPEND _find_deps "find_dependency(Threads)")
    list(APPEND _pc_libs -pthread)
  elseif(dep STREQUAL "nlohmann_json::nlohmann_json")
    continue()  # header-only, used by the library's sources alone
  elseif(dep STREQUAL "CURL::libcurl")
    list(APPEND _find_deps "find_dependency(CURL)")
    # Not Requires.private: under --static, libcurl.pc adds the private
    # libraries of a fully static curl (nghttp2, ssh2, ldap, ...), whose
    # development files a libcurl development package does not bring; our
    # static library links the shared libcurl, which needs -lcurl only.
    list(APPEND _pc_libs -lcurl)
  elseif(dep MATCHES "^OpenSSL::")
    list(APPEND _find_deps "find_dependency(OpenSSL 3)")
    list(APPEND _pc_requires openssl)
  elseif(dep STREQUAL "EXPAT::EXPAT")
    list(APPEND _find_deps "find_dependency(EXPAT)")
    list(APPEND _pc_requires expat)
  elseif(dep STREQUAL "SQLite::SQLite3")
    list(APPEND _find_deps "find_dependency(SQLite3)")
    list(APPEND _pc_requires sqlite3)
  elseif(dep STREQUAL "fmt::fmt")
    list(APPEND _find_deps "find_dependency(fmt)")
    list(APPEND _pc_requires fmt)
  elseif(dep STREQUAL "${GeographicLib_LIBRARIES}")
    # GeographicLib ships no CMake package; the config file makes a target.
    set(dep Quorvela::GeographicLib)
    list(APPEND _pc_requires geographiclib)
  elseif(dep MATCHES "^PkgConfig::(.+)$")
    set(_prefix ${CMAKE_MATCH_1})
    set(_module ${${_prefix}_MODULE_NAME})
    if(NOT _module)
      message(WARNING "cmake/Install.cmake: ${dep} names no single pkg-config module; "
                      "the installed static library will miss it")
      continue()
    endif()
    set(dep PkgConfig::Quorvela_${_prefix})
    list(APPEND _find_deps "find_dependency(PkgConfig)")
    list(APPEND _pkg_deps "quorvela_pkg_dependency(Quorvela_${_prefix} ${_module})")
    list(APPEND _pc_requires ${_module})
  else()
    message(WARNING "cmake/Install.cmake: no install rule for the dependency ${dep}; "
                    "the installed static library will miss it")
    continue()
  endif()
  target_link_libraries(quorvela INTERFACE "$<INSTALL_INTERFACE:$<LINK_ONLY:${dep}>>")
endforeach()
list(REMOVE_DUPLICATES _find_deps)
list(REMOVE_DUPLICATES _pc_requires)
list(JOIN _find_deps "\n" QUORVELA_FIND_DEPENDENCIES)
list(JOIN _pkg_deps "\n" QUORVELA_PKG_DEPENDENCIES)
list(JOIN _pc_requires " " QUORVELA_PC_REQUIRES_PRIVATE)
list(JOIN _pc_libs " " QUORVELA_PC_LIBS_PRIVATE)

set_target_properties(quorvela PROPERTIES EXPORT_NAME quorvela)
set_target_properties(quorvela_shared PROPERTIES EXPORT_NAME quorvela_shared)

install(TARGETS quorvela quorvela_shared
  EXPORT QuorvelaTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

foreach(tool quorvela-host quorvela-sandbox)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
  endif()
endforeach()

install(EXPORT QuorvelaTargets
  NAMESPACE Quorvela::
  DESTINATION ${QUORVELA_INSTALL_CMAKEDIR}
  COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuorvelaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuorvelaConfig.cmake
  INSTALL_DESTINATION ${QUORVELA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorvelaConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuorvelaConfig.cmake ${PROJECT_BINARY_DIR}/QuorvelaConfigVersion.cmake
  DESTINATION ${QUORVELA_INSTALL_CMAKEDIR}
  COMPONENT Development)

# pkg-config: -lquorvela; a static link adds the private dependencies.
# The prefix is found relative to the .pc file, so an installed tree can be
# moved (and `cmake --install --prefix` works without reconfiguring).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "quorvela.pc needs relative CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR")
endif()
file(RELATIVE_PATH QUORVELA_PC_UP "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
string(REGEX REPLACE "/$" "" QUORVELA_PC_UP "${QUORVELA_PC_UP}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvela.pc.in ${PROJECT_BINARY_DIR}/quorvela.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quorvela.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

# Every public header compiles alone against the installed include folder and
# brings in no dependency's header.
if(QUORVELA_BUILD_TESTS)
  add_test(NAME public_headers
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DBUILD_DIR=${PROJECT_BINARY_DIR}
            -DPREFIX=${PROJECT_BINARY_DIR}/public-headers -P ${PROJECT_SOURCE_DIR}/cmake/CheckPublicHeaders.cmake)
  set_tests_properties(public_headers PROPERTIES LABELS packaging TIMEOUT 300)
endif()

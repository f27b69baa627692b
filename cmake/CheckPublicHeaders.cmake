# Compiles every installed public header on its own, with only the installed
# include folder on the path, and fails when a header does not compile alone
# or pulls in any file that is neither installed with it nor part of the C++
# standard library (a dependency's header such as curl, sqlite, expat,
# libplist, nlohmann-json, OpenSSL or fmt would force every host to install
# that dependency's development files).
#
#   cmake -DCXX=<compiler> -DPREFIX=<dir> [-DBUILD_DIR=<build tree>] -P CheckPublicHeaders.cmake
#
# With BUILD_DIR the headers are first installed into PREFIX (component
# Headers); without it PREFIX must already hold an installation.
cmake_minimum_required(VERSION 3.25)

foreach(var CXX PREFIX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckPublicHeaders: ${var} is not set")
  endif()
endforeach()

if(DEFINED BUILD_DIR)
  file(REMOVE_RECURSE "${PREFIX}")
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}" --component Headers
    RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "CheckPublicHeaders: installing the headers failed")
  endif()
endif()

set(include_dir "${PREFIX}/include")
file(REAL_PATH "${include_dir}" include_dir)
file(GLOB_RECURSE headers RELATIVE "${include_dir}" "${include_dir}/quorvela/*.h")
if(NOT headers)
  message(FATAL_ERROR "CheckPublicHeaders: no headers under ${include_dir}/quorvela")
endif()
set(work "${PREFIX}/header-check")
file(MAKE_DIRECTORY "${work}")

# Reads a make-style dependency file into a list of canonical paths.
function(read_deps depfile out)
  file(READ "${depfile}" text)
  string(REPLACE "\\\n" " " text "${text}")
  string(REGEX REPLACE "^[^:]*:" "" text "${text}")
  string(REGEX REPLACE "[ \t\r\n]+" ";" text "${text}")
  set(paths)
  foreach(p IN LISTS text)
    if(p STREQUAL "" OR p MATCHES "\\.cpp$")
      continue()
    endif()
    file(REAL_PATH "${p}" p)
    list(APPEND paths "${p}")
  endforeach()
  set(${out} ${paths} PARENT_SCOPE)
endfunction()

# Everything the standard library may bring in.
file(WRITE "${work}/std.cpp" "#include <bits/stdc++.h>\n")
execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -MD -MF "${work}/std.d" "${work}/std.cpp"
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "CheckPublicHeaders: cannot list the standard headers:\n${err}")
endif()
read_deps("${work}/std.d" standard)

set(failures 0)
foreach(header IN LISTS headers)
  string(MAKE_C_IDENTIFIER "${header}" stem)
  file(WRITE "${work}/${stem}.cpp" "#include <${header}>\n")
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -I "${include_dir}"
            -MD -MF "${work}/${stem}.d" "${work}/${stem}.cpp"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${header} does not compile on its own:\n${err}")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  read_deps("${work}/${stem}.d" deps)
  set(foreign)
  foreach(dep IN LISTS deps)
    string(FIND "${dep}" "${include_dir}/" at)
    if(at EQUAL 0)
      continue()
    endif()
    list(FIND standard "${dep}" known)
    if(known EQUAL -1)
      list(APPEND foreign "${dep}")
    endif()
  endforeach()
  if(foreign)
    list(JOIN foreign "\n  " foreign)
    message(SEND_ERROR "${header} includes headers from outside the package and the standard library:\n  ${foreign}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

list(LENGTH headers count)
if(failures)
  message(FATAL_ERROR "public headers: ${failures} of ${count} failed")
endif()
message(STATUS "public headers: all ${count} compile alone and include only the package and the standard library")

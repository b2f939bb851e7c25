# SQLite for the Windows build of the stand-in library, compiled from the
# amalgamation (there is no Windows SQLite among Debian's packages).
#
# The amalgamation ships inside the npm registry package better-sqlite3;
# version 12.11.1 carries SQLite 3.53.2. The package is fetched with
# `npm pack`, checked against the sha512 integrity the registry publishes for
# it, and unpacked into a cache outside the source tree, so it is fetched
# once per machine. Defines the target SQLite::SQLite3.

set(TARNWICK_SQLITE_PACKAGE better-sqlite3@12.11.1)
set(TARNWICK_SQLITE_TARBALL better-sqlite3-12.11.1.tgz)
# The registry's integrity "sha512-dq9AtApgg5PGFtBz..." in hexadecimal.
set(TARNWICK_SQLITE_SHA512
    76af40b40a608393c616d0733c54819771d94231e893981a40233ace1d989346929830acd426e7548f3f1e001242434ab16169b1e20ef5b7a0e71c696216c87c
)

if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(tarnwick_default_cache "$ENV{XDG_CACHE_HOME}/tarnwick")
elseif(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "")
  set(tarnwick_default_cache "$ENV{HOME}/.cache/tarnwick")
else()
  set(tarnwick_default_cache "${CMAKE_BINARY_DIR}/_deps")
endif()
set(TARNWICK_DEPS_CACHE "${tarnwick_default_cache}"
    CACHE PATH "Where fetched third-party packages are kept between builds")

set(tarball "${TARNWICK_DEPS_CACHE}/${TARNWICK_SQLITE_TARBALL}")
set(sqlite_dir "${TARNWICK_DEPS_CACHE}/sqlite-3.53.2")

function(tarnwick_sqlite_tarball_ok result)
  set(${result} FALSE PARENT_SCOPE)
  if(EXISTS "${tarball}")
    file(SHA512 "${tarball}" actual)
    if(actual STREQUAL TARNWICK_SQLITE_SHA512)
      set(${result} TRUE PARENT_SCOPE)
    endif()
  endif()
endfunction()

tarnwick_sqlite_tarball_ok(tarball_ok)
if(NOT tarball_ok)
  find_program(TARNWICK_NPM npm)
  if(NOT TARNWICK_NPM)
    message(FATAL_ERROR "npm is needed once to fetch ${TARNWICK_SQLITE_PACKAGE} "
                        "(the SQLite amalgamation for the Windows build)")
  endif()
  file(MAKE_DIRECTORY "${TARNWICK_DEPS_CACHE}")
  file(REMOVE "${tarball}")
  message(STATUS "Fetching ${TARNWICK_SQLITE_PACKAGE} with npm pack")
  execute_process(
    COMMAND "${TARNWICK_NPM}" pack "${TARNWICK_SQLITE_PACKAGE}" --pack-destination
            "${TARNWICK_DEPS_CACHE}" --silent
    RESULT_VARIABLE npm_result
    OUTPUT_QUIET)
  tarnwick_sqlite_tarball_ok(tarball_ok)
  if(NOT npm_result EQUAL 0 OR NOT tarball_ok)
    file(REMOVE "${tarball}")
    message(FATAL_ERROR "Could not fetch ${TARNWICK_SQLITE_PACKAGE}, or its sha512 "
                        "is not the pinned one")
  endif()
  file(REMOVE_RECURSE "${sqlite_dir}")
endif()

if(NOT EXISTS "${sqlite_dir}/sqlite3.c" OR NOT EXISTS "${sqlite_dir}/sqlite3.h")
  set(unpack "${TARNWICK_DEPS_CACHE}/unpack-sqlite")
  file(REMOVE_RECURSE "${unpack}")
  file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${unpack}"
       PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
  file(MAKE_DIRECTORY "${sqlite_dir}")
  file(RENAME "${unpack}/package/deps/sqlite3/sqlite3.h" "${sqlite_dir}/sqlite3.h")
  # The source last: its presence marks a complete unpacking.
  file(RENAME "${unpack}/package/deps/sqlite3/sqlite3.c" "${sqlite_dir}/sqlite3.c")
  file(REMOVE_RECURSE "${unpack}")
endif()

add_library(sqlite3_amalgamation STATIC "${sqlite_dir}/sqlite3.c")
target_include_directories(sqlite3_amalgamation SYSTEM PUBLIC "${sqlite_dir}")
target_compile_definitions(sqlite3_amalgamation PRIVATE SQLITE_OMIT_LOAD_EXTENSION
                                                        SQLITE_DQS=0)
# Third-party code: built as it is, without the project's warning flags.
target_compile_options(sqlite3_amalgamation PRIVATE -w)
set_target_properties(sqlite3_amalgamation PROPERTIES POSITION_INDEPENDENT_CODE ON)
add_library(SQLite::SQLite3 ALIAS sqlite3_amalgamation)

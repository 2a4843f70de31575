# SQLite comes from the official amalgamation shipped inside the npm package
# better-sqlite3 (deps/sqlite3). It is downloaded once into .deps/, checked
# against pinned SHA-256 sums and compiled here, so the native and the Windows
# build use the same SQLite. None of its code lives in the repository.
set(KWO_SQLITE_PACKAGE better-sqlite3@12.9.0)
set(KWO_SQLITE_TARBALL_SHA256 ad0e29650140c49d0335b1d356596aa8166f12b758f418a98446130e3278f250)
set(KWO_SQLITE_SOURCE_SHA256 391855ddc7af04001364430884d263cbe8638f852c83865823a2d08358f6b87d)
set(KWO_DEPS_DIR ${CMAKE_SOURCE_DIR}/.deps CACHE PATH "Where downloaded dependencies are kept")
set(_sqlite_dir ${KWO_DEPS_DIR}/sqlite-3.53.0)

function(_kwo_sha256_matches file expected out)
  if(EXISTS ${file})
    file(SHA256 ${file} actual)
    if(actual STREQUAL expected)
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
  endif()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

_kwo_sha256_matches(${_sqlite_dir}/sqlite3.c ${KWO_SQLITE_SOURCE_SHA256} _have_sqlite)
if(NOT _have_sqlite)
  find_program(NPM_EXECUTABLE npm REQUIRED)
  set(_work ${KWO_DEPS_DIR}/download)
  file(REMOVE_RECURSE ${_work})
  file(MAKE_DIRECTORY ${_work})
  message(STATUS "Fetching ${KWO_SQLITE_PACKAGE} for the SQLite amalgamation")
  execute_process(COMMAND ${NPM_EXECUTABLE} pack ${KWO_SQLITE_PACKAGE} --silent
                  WORKING_DIRECTORY ${_work} RESULT_VARIABLE rc OUTPUT_VARIABLE tarball
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "npm pack ${KWO_SQLITE_PACKAGE} failed (${rc})")
  endif()
  _kwo_sha256_matches(${_work}/${tarball} ${KWO_SQLITE_TARBALL_SHA256} _tar_ok)
  if(NOT _tar_ok)
    message(FATAL_ERROR "${tarball}: SHA-256 does not match the pinned value")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${_work}/${tarball} DESTINATION ${_work}
       PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
  _kwo_sha256_matches(${_work}/package/deps/sqlite3/sqlite3.c ${KWO_SQLITE_SOURCE_SHA256} _src_ok)
  if(NOT _src_ok)
    message(FATAL_ERROR "sqlite3.c: SHA-256 does not match the pinned value")
  endif()
  file(MAKE_DIRECTORY ${_sqlite_dir})
  file(COPY ${_work}/package/deps/sqlite3/sqlite3.c ${_work}/package/deps/sqlite3/sqlite3.h
       DESTINATION ${_sqlite_dir})
  file(REMOVE_RECURSE ${_work})
endif()

add_library(sqlite3 STATIC ${_sqlite_dir}/sqlite3.c)
target_include_directories(sqlite3 SYSTEM PUBLIC ${_sqlite_dir})
target_compile_definitions(sqlite3 PUBLIC
  SQLITE_DQS=0
  SQLITE_THREADSAFE=1
  SQLITE_DEFAULT_FOREIGN_KEYS=1
  SQLITE_ENABLE_COLUMN_METADATA
  SQLITE_ENABLE_FTS5
  SQLITE_OMIT_LOAD_EXTENSION
  # Parts the program never calls, left out to keep kwo.exe small; none of
  # them changes how SQL runs or how the file is written.
  SQLITE_OMIT_DEPRECATED
  SQLITE_OMIT_SHARED_CACHE
  SQLITE_OMIT_JSON
  SQLITE_OMIT_DATETIME_FUNCS
  SQLITE_OMIT_PROGRESS_CALLBACK
  SQLITE_OMIT_GET_TABLE
  SQLITE_OMIT_COMPLETE
  SQLITE_OMIT_TRACE
  SQLITE_UNTESTABLE
  SQLITE_OMIT_AUTHORIZATION
  SQLITE_OMIT_DESERIALIZE
  SQLITE_DEFAULT_MEMSTATUS=0)
# The amalgamation is third-party code: no warnings, no sanitizer noise from our flags.
set_target_properties(sqlite3 PROPERTIES C_VISIBILITY_PRESET hidden POSITION_INDEPENDENT_CODE ON)
target_compile_options(sqlite3 PRIVATE -w)
if(KWO_FUZZ)
  # Sanitized but without coverage feedback: the fuzz targets aim at our
  # code, and SQLite's own paths would only steer them into its internals
  # and slow every run.
  target_compile_options(sqlite3 PRIVATE -fno-sanitize=fuzzer-no-link)
endif()
if(NOT WIN32)
  find_package(Threads REQUIRED)
  target_link_libraries(sqlite3 PUBLIC Threads::Threads ${CMAKE_DL_LIBS} m)
endif()

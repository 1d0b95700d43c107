# The third-party libraries of the Windows program, cross-built by
# scripts/windows-deps.sh into a cache: LUMARI_WINDOWS_DEPS names the cache's
# folder for the target (…/windows-deps/x86_64-w64-mingw32). Without it the
# Windows build makes only the platform, the two DLLs and the portable tests.
set(LUMARI_WINDOWS_DEPS "" CACHE PATH "Cross-built third-party libraries (scripts/windows-deps.sh)")
set(LUMARI_WINDOWS_DEPS_FOUND OFF)
if(NOT LUMARI_WINDOWS_DEPS)
  # The script's own cache, when it was made on this machine.
  if(DEFINED ENV{LUMARI_WINDOWS_DEPS_CACHE})
    set(_cache $ENV{LUMARI_WINDOWS_DEPS_CACHE})
  else()
    set(_cache /var/cache/lumari/windows-deps)
  endif()
  file(GLOB _qt LIST_DIRECTORIES true "${_cache}/${LUMARI_MINGW_TRIPLE}/qt-*")
  if(_qt)
    set(LUMARI_WINDOWS_DEPS ${_cache}/${LUMARI_MINGW_TRIPLE} CACHE PATH "" FORCE)
  else()
    return()
  endif()
endif()
message(STATUS "Windows third-party libraries: ${LUMARI_WINDOWS_DEPS}")

function(_lumari_dep_prefix var name)
  file(GLOB _dirs LIST_DIRECTORIES true "${LUMARI_WINDOWS_DEPS}/${name}-*")
  list(SORT _dirs)
  list(LENGTH _dirs _n)
  if(_n EQUAL 0)
    message(FATAL_ERROR "${name} is missing from ${LUMARI_WINDOWS_DEPS}: run scripts/windows-deps.sh")
  endif()
  list(GET _dirs -1 _dir)
  set(${var} ${_dir} PARENT_SCOPE)
endfunction()

_lumari_dep_prefix(LUMARI_GLOG_PREFIX glog)
_lumari_dep_prefix(LUMARI_SQLITE_PREFIX sqlite)
_lumari_dep_prefix(LUMARI_QRENCODE_PREFIX qrencode)
_lumari_dep_prefix(LUMARI_QT_PREFIX qt)

find_package(glog REQUIRED CONFIG PATHS ${LUMARI_GLOG_PREFIX} NO_DEFAULT_PATH)

add_library(SQLite::SQLite3 STATIC IMPORTED)
set_target_properties(SQLite::SQLite3 PROPERTIES
  IMPORTED_LOCATION ${LUMARI_SQLITE_PREFIX}/lib/libsqlite3.a
  INTERFACE_INCLUDE_DIRECTORIES ${LUMARI_SQLITE_PREFIX}/include)

add_library(lumari_qrencode STATIC IMPORTED)
set_target_properties(lumari_qrencode PROPERTIES
  IMPORTED_LOCATION ${LUMARI_QRENCODE_PREFIX}/lib/libqrencode.a
  INTERFACE_INCLUDE_DIRECTORIES ${LUMARI_QRENCODE_PREFIX}/include)

# Qt: the cross-built libraries, with Debian's own Qt as the host tools.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
list(APPEND CMAKE_PREFIX_PATH ${LUMARI_QT_PREFIX})
list(APPEND CMAKE_FIND_ROOT_PATH ${LUMARI_QT_PREFIX})

set(LUMARI_WINDOWS_DEPS_FOUND ON)

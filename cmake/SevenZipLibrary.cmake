# 7-Zip's format library (7z.so), built from the official source in third_party/ with the
# source's own makefile, compiler and flags: never with this project's sanitizer or warning
# options, which the makefile's -Werror would not survive and the library does not need.
set(SETUP_7ZIP_TARBALL ${CMAKE_SOURCE_DIR}/third_party/7zip-25.01-src.tar.xz)
set(SETUP_7ZIP_SHA256 3bc75cee1caa7dfa6cec82fe8ea4b284f22b94a5e01d34c2d421b40e4ad7276d)

file(SHA256 ${SETUP_7ZIP_TARBALL} _7zip_sum)
if(NOT _7zip_sum STREQUAL SETUP_7ZIP_SHA256)
  message(FATAL_ERROR "${SETUP_7ZIP_TARBALL}: SHA-256 ${_7zip_sum}, expected ${SETUP_7ZIP_SHA256}")
endif()

find_program(SETUP_7ZIP_MAKE NAMES make gmake REQUIRED)
find_program(SETUP_7ZIP_CC NAMES gcc cc REQUIRED)
find_program(SETUP_7ZIP_CXX NAMES g++ c++ REQUIRED)
find_program(SETUP_7ZIP_CCACHE ccache)
cmake_host_system_information(RESULT _7zip_jobs QUERY NUMBER_OF_LOGICAL_CORES)

set(SETUP_BUILT_7Z_LIBRARY ${CMAKE_BINARY_DIR}/third_party/7z.so)
add_custom_command(
  OUTPUT ${SETUP_BUILT_7Z_LIBRARY}
  COMMAND ${CMAKE_COMMAND}
    -DTARBALL=${SETUP_7ZIP_TARBALL}
    -DWORK_DIR=${CMAKE_BINARY_DIR}/third_party
    -DOUTPUT=${SETUP_BUILT_7Z_LIBRARY}
    -DMAKE=${SETUP_7ZIP_MAKE}
    -DCC=${SETUP_7ZIP_CC}
    -DCXX=${SETUP_7ZIP_CXX}
    -DCCACHE=${SETUP_7ZIP_CCACHE}
    -DJOBS=${_7zip_jobs}
    -P ${CMAKE_SOURCE_DIR}/cmake/BuildSevenZip.cmake
  DEPENDS ${SETUP_7ZIP_TARBALL} ${CMAKE_SOURCE_DIR}/cmake/BuildSevenZip.cmake
  COMMENT "Building 7-Zip's format library from third_party/ (about a minute)"
  VERBATIM)
add_custom_target(setup_7zip_library ALL DEPENDS ${SETUP_BUILT_7Z_LIBRARY})

# Builds configured before the library was built here carry Debian's path as the cached
# default; move them to the built one once. A path chosen on the command line stays.
if(NOT DEFINED CACHE{SETUP_7Z_LIBRARY_DEFAULT_BUILT})
  if(SETUP_7Z_LIBRARY STREQUAL "/usr/lib/p7zip/7z.so")
    set_property(CACHE SETUP_7Z_LIBRARY PROPERTY VALUE "")
  endif()
  set(SETUP_7Z_LIBRARY_DEFAULT_BUILT ON CACHE INTERNAL "")
endif()

# What the program embeds as S7ZDLL: the built library unless another was chosen.
if(SETUP_7Z_LIBRARY)
  if(NOT EXISTS "${SETUP_7Z_LIBRARY}")
    message(FATAL_ERROR "SETUP_7Z_LIBRARY ${SETUP_7Z_LIBRARY} not found")
  endif()
  set(SETUP_EMBEDDED_7Z_LIBRARY ${SETUP_7Z_LIBRARY})
else()
  set(SETUP_EMBEDDED_7Z_LIBRARY ${SETUP_BUILT_7Z_LIBRARY})
endif()

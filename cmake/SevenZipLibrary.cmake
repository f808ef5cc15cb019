# 7-Zip's format library (7z.so), built from the official source in third_party/ with the
# source's own makefile, compiler and flags: never with this project's sanitizer or warning
# options, which the makefile's -Werror would not survive and the library does not need.
set(SETUP_7ZIP_TARBALL ${CMAKE_SOURCE_DIR}/third_party/7zip-25.01-src.tar.xz)
set(SETUP_7ZIP_ASM_TARBALL ${CMAKE_SOURCE_DIR}/third_party/7zip-25.01-asm.tar.xz)
set(SETUP_JWASM_TARBALL ${CMAKE_SOURCE_DIR}/third_party/jwasm-2.20-src.tar.xz)
foreach(pair
    "${SETUP_7ZIP_TARBALL}=3bc75cee1caa7dfa6cec82fe8ea4b284f22b94a5e01d34c2d421b40e4ad7276d"
    "${SETUP_7ZIP_ASM_TARBALL}=aa70dbe166849d2796dd566dfe50305d958a0cbf400c67ca0a4d352d81a2e57c"
    "${SETUP_JWASM_TARBALL}=dd1d3bf3979b0fa3177e1a34b7e61a769988faecc2d77a175c4db7e5158da935")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 tarball)
  list(GET pair 1 expected)
  file(SHA256 ${tarball} sum)
  if(NOT sum STREQUAL expected)
    message(FATAL_ERROR "${tarball}: SHA-256 ${sum}, expected ${expected}")
  endif()
endforeach()

# 7-Zip's x86-64 assembler LZMA decoder, CRC, SHA and AES routines are in MASM syntax, which
# JWasm assembles; JWasm is built here from its source, once. Elsewhere, or when it does not
# build, the library is the C-only one.
option(SETUP_7ZIP_ASM "Build 7-Zip's library with its x86-64 assembler routines (JWasm)" ON)
set(SETUP_JWASM "")
if(SETUP_7ZIP_ASM AND CMAKE_HOST_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(_jwasm_dir ${CMAKE_BINARY_DIR}/third_party/jwasm-2.20)
  if(NOT EXISTS ${_jwasm_dir}/build/GccUnixR/jwasm)
    file(REMOVE_RECURSE ${_jwasm_dir})
    file(ARCHIVE_EXTRACT INPUT ${SETUP_JWASM_TARBALL} DESTINATION ${CMAKE_BINARY_DIR}/third_party)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=CFLAGS make -f GccUnix.mak -j2
      WORKING_DIRECTORY ${_jwasm_dir}
      RESULT_VARIABLE _jwasm_rc OUTPUT_FILE ${_jwasm_dir}/make.log ERROR_FILE ${_jwasm_dir}/make.log)
  endif()
  if(EXISTS ${_jwasm_dir}/build/GccUnixR/jwasm)
    set(SETUP_JWASM ${_jwasm_dir}/build/GccUnixR/jwasm)
  else()
    message(WARNING "JWasm did not build (see ${_jwasm_dir}/make.log): 7-Zip's library will be C only")
  endif()
endif()
if(SETUP_JWASM)
  set(_7zip_kind "with the x86-64 assembler decoder, assembled by ${SETUP_JWASM}")
else()
  set(_7zip_kind "C only")
endif()
message(STATUS "7-Zip's format library: ${_7zip_kind}")
# Rebuilds the library when the kind changes, and only then.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/third_party/7zip-kind.txt CONTENT "${_7zip_kind}\n")

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
    -DASM_TARBALL=${SETUP_7ZIP_ASM_TARBALL}
    -DJWASM=${SETUP_JWASM}
    -DWORK_DIR=${CMAKE_BINARY_DIR}/third_party
    -DOUTPUT=${SETUP_BUILT_7Z_LIBRARY}
    -DMAKE=${SETUP_7ZIP_MAKE}
    -DCC=${SETUP_7ZIP_CC}
    -DCXX=${SETUP_7ZIP_CXX}
    -DCCACHE=${SETUP_7ZIP_CCACHE}
    -DJOBS=${_7zip_jobs}
    -P ${CMAKE_SOURCE_DIR}/cmake/BuildSevenZip.cmake
  DEPENDS ${SETUP_7ZIP_TARBALL} ${SETUP_7ZIP_ASM_TARBALL} ${CMAKE_BINARY_DIR}/third_party/7zip-kind.txt
          ${CMAKE_SOURCE_DIR}/cmake/BuildSevenZip.cmake
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

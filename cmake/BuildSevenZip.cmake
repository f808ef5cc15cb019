# Script mode: unpacks the 7-Zip tarball (once per tarball) and runs its makefile, which is
# incremental by itself; the library is copied out only when the makefile changed it. With
# JWASM set, the Asm folder is unpacked beside the source and the library is built with the
# assembler routines (cmpl_gcc_x64.mak), else C only (makefile.gcc).
set(src ${WORK_DIR}/7zip-25.01)
set(stamp ${WORK_DIR}/unpacked.stamp)
if(NOT EXISTS ${stamp} OR ${TARBALL} IS_NEWER_THAN ${stamp})
  file(REMOVE_RECURSE ${src})
  file(MAKE_DIRECTORY ${WORK_DIR})
  file(ARCHIVE_EXTRACT INPUT ${TARBALL} DESTINATION ${WORK_DIR})
  file(TOUCH ${stamp})
  file(REMOVE ${WORK_DIR}/asm.stamp)
endif()
if(JWASM AND NOT EXISTS ${WORK_DIR}/asm.stamp)
  file(ARCHIVE_EXTRACT INPUT ${ASM_TARBALL} DESTINATION ${WORK_DIR})
  file(TOUCH ${WORK_DIR}/asm.stamp)
endif()
if(JWASM)
  set(makefile ../../cmpl_gcc_x64.mak)
  set(extra USE_JWASM=1 MY_ASM=${JWASM})
  set(built b/g_x64/7z.so)
else()
  set(makefile makefile.gcc)
  set(extra)
  set(built _o/7z.so)
endif()

set(cc ${CC})
set(cxx ${CXX})
if(CCACHE)
  set(cc "${CCACHE} ${CC}")
  set(cxx "${CCACHE} ${CXX}")
endif()
# Flags of the surrounding build must not leak into the makefile's own.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MFLAGS --unset=CFLAGS
          --unset=CXXFLAGS --unset=CPPFLAGS --unset=LDFLAGS
          ${MAKE} -f ${makefile} -j${JOBS} "CC=${cc}" "CXX=${cxx}" ${extra}
  WORKING_DIRECTORY ${src}/CPP/7zip/Bundles/Format7zF
  RESULT_VARIABLE rc
  OUTPUT_FILE ${WORK_DIR}/make.log
  ERROR_FILE ${WORK_DIR}/make.log)
if(NOT rc EQUAL 0)
  file(READ ${WORK_DIR}/make.log log)
  message(FATAL_ERROR "building 7z.so failed (${rc}):\n${log}")
endif()
file(COPY_FILE ${src}/CPP/7zip/Bundles/Format7zF/${built} ${OUTPUT} ONLY_IF_DIFFERENT)
file(TOUCH_NOCREATE ${OUTPUT})

# Links a program of two clashing translation units (an object and an archive) through the
# one-definition check, as the build links every program; passes only when the link fails with
# the diagnostic its clash must draw.
#   cmake -DCHECK=<odr-link.sh> -DLTO_DUMP=<lto-dump> -DCOMPILER=<c++> -DOBJECT=<object>
#         -DARCHIVE=<archive> -DPROGRAM=<output> -DDIAGNOSTIC=<warning option> -P odr_clash_link.cmake

file(REMOVE "${PROGRAM}")
execute_process(COMMAND "${CHECK}" "${LTO_DUMP}" "${COMPILER}" "${OBJECT}" -o "${PROGRAM}" -fno-lto "${ARCHIVE}"
                RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE printed)
if(status EQUAL 0)
  message(FATAL_ERROR "the program linked: the check let its clash through\n${printed}")
endif()
string(FIND "${printed}" "[${DIAGNOSTIC}]" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the link failed (${status}), but not with [${DIAGNOSTIC}]:\n${printed}")
endif()
if(EXISTS "${PROGRAM}")
  message(FATAL_ERROR "the link failed, but left ${PROGRAM} behind")
endif()

# Installs the library into a fresh prefix, then configures, builds and runs
# the outside project against it. Arguments: BUILD_DIR, SOURCE_DIR, WORK_DIR,
# GENERATOR, CXX, CXX_FLAGS, LINKER_FLAGS.
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}")
    endif()
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --component tarncrypt --prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
file(REMOVE_RECURSE ${WORK_DIR})

# Installs the build tree into WORK_DIR/prefix, then builds and runs the
# downstream project of SOURCE_DIR against it on the sample stack.
file(REMOVE_RECURSE ${WORK_DIR})

function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "${line}\nfailed (${result}):\n${output}")
  endif()
  set(step_output "${output}" PARENT_SCOPE)
endfunction()

step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
foreach(file include/plexan/numerics/vector.h include/plexan/stack/stack.h
             lib/cmake/Plexan/PlexanConfig.cmake lib/cmake/Plexan/PlexanTargets.cmake bin/plexan-cli)
  if(NOT EXISTS ${WORK_DIR}/prefix/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

step(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
     -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
     -DCMAKE_BUILD_TYPE=${BUILD_TYPE} "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
step(${WORK_DIR}/build/organ-volume ${SAMPLE})
if(NOT step_output MATCHES "^sample: 30 slices, organ volume [0-9.]+ µm\\^3\n$")
  message(FATAL_ERROR "unexpected output: ${step_output}")
endif()
message(STATUS "${step_output}")
file(REMOVE_RECURSE ${WORK_DIR})

# Installs the build into a scratch prefix and imports plexan from the site
# directory there (and not from the build).
# Run as: cmake -DBUILD_DIR=... -DPREFIX=... -DSITE=... -DPYTHON=... -P checkinstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component python
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installation failed")
endif()
set(ENV{PYTHONPATH} ${PREFIX}/${SITE})
execute_process(COMMAND ${PYTHON} -c
  "import plexan, numpy; v = plexan.VoxelMatrix(numpy.zeros((2, 2, 2), numpy.float32)); print(plexan.__file__)"
  RESULT_VARIABLE result OUTPUT_VARIABLE where ERROR_VARIABLE errors OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "import plexan from ${PREFIX}/${SITE} failed:\n${errors}")
endif()
string(FIND "${where}" "${PREFIX}/${SITE}/plexan/" position)
if(NOT position EQUAL 0)
  message(FATAL_ERROR "plexan imported from ${where}, not from ${PREFIX}/${SITE}")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "plexan installed and imported from ${PREFIX}/${SITE}")

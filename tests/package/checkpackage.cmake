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
set(prefix ${WORK_DIR}/prefix)
foreach(file include/plexan/numerics/vector.h include/plexan/stack/stack.h
             lib/cmake/Plexan/PlexanConfig.cmake lib/cmake/Plexan/PlexanTargets.cmake bin/plexan-cli bin/plexan
             share/applications/plexan.desktop share/icons/hicolor/scalable/apps/plexan.svg
             share/icons/hicolor/256x256/apps/plexan.png share/doc/plexan/manual.md)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The desktop entry is valid, starts an installed program and names an
# installed icon.
if(NOT DESKTOP_FILE_VALIDATE)
  message(FATAL_ERROR "desktop-file-validate not found (tools/install-packages.sh installs it)")
endif()
step(${DESKTOP_FILE_VALIDATE} ${prefix}/share/applications/plexan.desktop)
file(READ ${prefix}/share/applications/plexan.desktop entry)
foreach(key Exec Icon)
  string(REGEX MATCHALL "(^|\n)${key}=[^\n]*" lines "${entry}")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "plexan.desktop: ${count} ${key} lines")
  endif()
  string(REGEX REPLACE "^\n?${key}=([^ ]*).*" "\\1" ${key} "${lines}")
endforeach()
if(NOT EXISTS ${prefix}/bin/${Exec})
  message(FATAL_ERROR "plexan.desktop starts ${Exec}, which is not installed in bin/")
endif()
foreach(icon scalable/apps/${Icon}.svg 256x256/apps/${Icon}.png)
  if(NOT EXISTS ${prefix}/share/icons/hicolor/${icon})
    message(FATAL_ERROR "plexan.desktop names the icon ${Icon}, but ${icon} is not installed")
  endif()
endforeach()
# The PNG icon is 256 x 256 pixels, as its folder says (the width and height
# of the IHDR chunk, big-endian, after the 8-byte signature and 8 bytes of
# chunk length and type).
file(READ ${prefix}/share/icons/hicolor/256x256/apps/${Icon}.png png LIMIT 24 HEX)
if(NOT png MATCHES "^89504e470d0a1a0a0000000d49484452" OR NOT png MATCHES "0000010000000100$")
  message(FATAL_ERROR "the 256x256 icon is not a 256 x 256 PNG image: ${png}")
endif()

# Every picture the installed manual shows is installed beside it.
file(READ ${prefix}/share/doc/plexan/manual.md manual)
string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]+\\)" pictures "${manual}")
if(NOT pictures)
  message(FATAL_ERROR "the installed manual shows no picture")
endif()
foreach(picture ${pictures})
  string(REGEX REPLACE ".*\\(([^)]+)\\)$" "\\1" path "${picture}")
  if(NOT EXISTS ${prefix}/share/doc/plexan/${path})
    message(FATAL_ERROR "the installed manual shows ${path}, which is not installed beside it")
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

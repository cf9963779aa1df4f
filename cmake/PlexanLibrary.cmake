# plexan_add_library(<folder> SOURCES ... [DEPENDS <plexan targets>] [LIBRARIES <other targets>]
#                    [SUBFOLDERS <subfolder>...])
#
# SUBFOLDERS: folders below <folder> whose sources belong to the same library
# (app/slice, app/tools); their headers are installed and checked too.
#
# Makes the static library plexan_<folder> (alias Plexan::<folder>) from the
# folder's sources. Headers are included with their folder, as in
# "numerics/vector.h", from the source tree or from include/plexan once installed.
function(plexan_add_library folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LIBRARIES;PRIVATE_LIBRARIES;SUBFOLDERS" ${ARGN})
  set(target plexan_${folder})
  string(REPLACE "/" "_" target ${target})
  add_library(${target} STATIC ${ARG_SOURCES})
  add_library(Plexan::${folder} ALIAS ${target})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/plexan>)
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS} ${ARG_LIBRARIES}
                                  PRIVATE ${ARG_PRIVATE_LIBRARIES})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${folder})
  set_property(GLOBAL APPEND PROPERTY PLEXAN_LIBRARIES ${target})

  # Installed as Plexan::<folder>, with the folder's headers under
  # include/plexan/<folder>/.
  install(TARGETS ${target} EXPORT PlexanTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set(header_globs ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(sub ${ARG_SUBFOLDERS})
    file(GLOB sub_headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
    install(FILES ${sub_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plexan/${folder}/${sub})
    list(APPEND header_globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
  endforeach()
  file(GLOB public_headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  install(FILES ${public_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plexan/${folder})

  if(PLEXAN_HEADER_CHECK)
    # Every public header must compile on its own.
    file(GLOB headers RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS ${header_globs})
    set(checks)
    foreach(header ${headers})
      string(MAKE_C_IDENTIFIER ${header} id)
      set(file ${CMAKE_CURRENT_BINARY_DIR}/headercheck/${id}.cpp)
      file(CONFIGURE OUTPUT ${file} CONTENT "#include \"${header}\"\n")
      list(APPEND checks ${file})
    endforeach()
    if(checks)
      add_library(${target}_headercheck OBJECT ${checks})
      target_link_libraries(${target}_headercheck PRIVATE ${target})
      # Only the compiling matters: no debug information, no sanitizer.
      target_compile_options(${target}_headercheck PRIVATE -g0 -fno-sanitize=all)
    endif()
  endif()
endfunction()

# plexan_install_package()
#
# Installs the CMake package of the libraries made by plexan_add_library, so
# that another project can use them:
#     find_package(Plexan REQUIRED)
#     target_link_libraries(tool PRIVATE Plexan::stack)
# Call it once, after every library folder has been added.
function(plexan_install_package)
  include(CMakePackageConfigHelpers)
  set(destination ${CMAKE_INSTALL_LIBDIR}/cmake/Plexan)
  install(EXPORT PlexanTargets NAMESPACE Plexan:: DESTINATION ${destination})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PlexanConfig.cmake.in
    ${PROJECT_BINARY_DIR}/PlexanConfig.cmake
    INSTALL_DESTINATION ${destination})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/PlexanConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/PlexanConfig.cmake ${PROJECT_BINARY_DIR}/PlexanConfigVersion.cmake
    DESTINATION ${destination})
endfunction()

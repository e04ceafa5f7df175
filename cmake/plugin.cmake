# The plug-in in three layers, each its own library, so that a call the wrong
# way is a link error and an include the wrong way a build error:
#
#   folder    library            may include and link
#   raster/   pathbloom_raster   hostapi/
#   engine/   pathbloom_engine   raster/, hostapi/
#   host/     <plugin>_host      engine/, raster/, hostapi/, resources/ (built once per profile)
#
# pathbloom_add_plugin(TARGET PROFILE OUTPUT_DIR) adds the effect library of
# one profile (X64 or X86): host/entry_point.cpp over TARGET_host, with its
# property list (a resource inside a Windows DLL, a .pipl file beside a Linux
# library). Unit tests link the layer libraries directly.
file(GLOB PATHBLOOM_RASTER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/raster/*.cpp)
file(GLOB PATHBLOOM_ENGINE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/engine/*.cpp)
file(GLOB PATHBLOOM_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/*.cpp)
list(FILTER PATHBLOOM_HOST_SOURCES EXCLUDE REGEX ".*/host/entry_point\\.cpp$")

# Shared libraries must resolve every symbol themselves, except under clang's
# sanitizers, whose runtime is linked into the executable that loads them.
if(NOT WIN32 AND NOT (PATHBLOOM_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
  set(PATHBLOOM_NO_UNDEFINED ON)
else()
  set(PATHBLOOM_NO_UNDEFINED OFF)
endif()

add_library(pathbloom_hostapi INTERFACE)
target_include_directories(pathbloom_hostapi INTERFACE ${CMAKE_SOURCE_DIR})

# pathbloom_layer(NAME SOURCES DEPENDENCIES): a static library of one layer
# that links only DEPENDENCIES, and beside it a shared library of the same
# objects linked with nothing else, so that a reference to any other layer
# fails the build.
function(pathbloom_layer name sources dependencies)
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${dependencies})
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  add_library(${name}_link_check SHARED $<TARGET_OBJECTS:${name}>)
  target_link_libraries(${name}_link_check PRIVATE ${dependencies})
  if(PATHBLOOM_NO_UNDEFINED)
    target_link_options(${name}_link_check PRIVATE -Wl,--no-undefined)
  endif()
  add_dependencies(${name} pathbloom_include_check)
endfunction()

# Includes across folders, checked before the layers compile.
set(PATHBLOOM_INCLUDE_STAMP ${CMAKE_BINARY_DIR}/include_check.stamp)
file(GLOB_RECURSE PATHBLOOM_CHECKED_FILES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/raster/*.h ${CMAKE_SOURCE_DIR}/raster/*.cpp
     ${CMAKE_SOURCE_DIR}/engine/*.h ${CMAKE_SOURCE_DIR}/engine/*.cpp
     ${CMAKE_SOURCE_DIR}/host/*.h ${CMAKE_SOURCE_DIR}/host/*.cpp
     ${CMAKE_SOURCE_DIR}/hostapi/*.h ${CMAKE_SOURCE_DIR}/resources/*.h ${CMAKE_SOURCE_DIR}/resources/*.cpp
     ${CMAKE_SOURCE_DIR}/minihost/*.h ${CMAKE_SOURCE_DIR}/minihost/*.cpp
     ${CMAKE_SOURCE_DIR}/cli/*.h ${CMAKE_SOURCE_DIR}/cli/*.cpp)
add_custom_command(OUTPUT ${PATHBLOOM_INCLUDE_STAMP}
  COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DSTAMP=${PATHBLOOM_INCLUDE_STAMP}
          -P ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
  DEPENDS ${PATHBLOOM_CHECKED_FILES} ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
  COMMENT "Checking includes across folders")
add_custom_target(pathbloom_include_check DEPENDS ${PATHBLOOM_INCLUDE_STAMP})

pathbloom_layer(pathbloom_raster "${PATHBLOOM_RASTER_SOURCES}" pathbloom_hostapi)
pathbloom_layer(pathbloom_engine "${PATHBLOOM_ENGINE_SOURCES}" pathbloom_raster)

function(pathbloom_add_plugin target profile outdir)
  pathbloom_layer(${target}_host "${PATHBLOOM_HOST_SOURCES}" pathbloom_engine)
  target_compile_definitions(${target}_host PUBLIC PATHBLOOM_PROFILE_${profile}=1)

  add_library(${target} SHARED ${CMAKE_SOURCE_DIR}/host/entry_point.cpp)
  target_link_libraries(${target} PRIVATE ${target}_host)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    OUTPUT_NAME VomrelPathBloom PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${outdir} RUNTIME_OUTPUT_DIRECTORY ${outdir})
  if(WIN32)
    # Both profiles' DLLs share a name: keep their import libraries apart.
    set_target_properties(${target} PROPERTIES SUFFIX ".aex"
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/implib/${target})
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  else()
    set_target_properties(${target} PROPERTIES SUFFIX ".so")
    target_link_options(${target} PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/plugin_exports.map)
    if(PATHBLOOM_NO_UNDEFINED)
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/plugin_exports.map)
  endif()
  if(COMMAND pathbloom_attach_pipl)
    pathbloom_attach_pipl(${target} ${profile} ${outdir})
  endif()
endfunction()

# pathbloom_add_plugin(TARGET PROFILE OUTPUT_DIR): the effect library built
# from host/, engine/ and raster/ in one profile (X64 or X86), with its
# property list (a resource inside a Windows DLL, a .pipl file beside a Linux
# library). Also defines TARGET_core, a static library of the same objects
# that unit tests link directly.
file(GLOB PATHBLOOM_PLUGIN_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/host/*.cpp ${CMAKE_SOURCE_DIR}/engine/*.cpp ${CMAKE_SOURCE_DIR}/raster/*.cpp)
list(FILTER PATHBLOOM_PLUGIN_SOURCES EXCLUDE REGEX ".*/host/entry_point\\.cpp$")

function(pathbloom_add_plugin target profile outdir)
  add_library(${target}_core STATIC ${PATHBLOOM_PLUGIN_SOURCES})
  target_include_directories(${target}_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${target}_core PUBLIC PATHBLOOM_PROFILE_${profile}=1)
  set_target_properties(${target}_core PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

  add_library(${target} SHARED ${CMAKE_SOURCE_DIR}/host/entry_point.cpp)
  target_link_libraries(${target} PRIVATE ${target}_core)
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
    target_link_options(${target} PRIVATE -Wl,--no-undefined
      -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/plugin_exports.map)
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/plugin_exports.map)
  endif()
  if(COMMAND pathbloom_attach_pipl)
    pathbloom_attach_pipl(${target} ${profile} ${outdir})
  endif()
endfunction()

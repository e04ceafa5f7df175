# The property list that tells the host what the library is, written by
# pipl_tool from resources/: a PiPL resource (type PiPL, id 16000, language
# 1033) inside a Windows DLL, a VomrelPathBloom.pipl file beside a Linux
# library. When cross-compiling, point PATHBLOOM_PIPL_TOOL at a pipl_tool
# built for the build machine.
set(PATHBLOOM_PIPL_TOOL "" CACHE FILEPATH "A pipl_tool that runs on the build machine (needed when cross-compiling)")

add_library(pathbloom_pipl STATIC ${CMAKE_SOURCE_DIR}/resources/pipl_bytes.cpp)
target_include_directories(pathbloom_pipl PUBLIC ${CMAKE_SOURCE_DIR})

if(PATHBLOOM_PIPL_TOOL)
  set(PATHBLOOM_PIPL_TOOL_COMMAND ${PATHBLOOM_PIPL_TOOL})
  set(PATHBLOOM_PIPL_TOOL_DEPENDS ${PATHBLOOM_PIPL_TOOL})
elseif(CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "Cross-compiling: build pipl_tool for the build machine and set PATHBLOOM_PIPL_TOOL to it")
else()
  add_executable(pipl_tool ${CMAKE_SOURCE_DIR}/resources/pipl_tool.cpp)
  target_link_libraries(pipl_tool PRIVATE pathbloom_pipl)
  set(PATHBLOOM_PIPL_TOOL_COMMAND $<TARGET_FILE:pipl_tool>)
  set(PATHBLOOM_PIPL_TOOL_DEPENDS pipl_tool)
endif()

if(WIN32)
  enable_language(RC)
endif()

# pathbloom_attach_pipl(TARGET PROFILE OUTPUT_DIR)
function(pathbloom_attach_pipl target profile outdir)
  if(WIN32)
    set(bin ${CMAKE_CURRENT_BINARY_DIR}/${target}_pipl.bin)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_pipl.rc)
    add_custom_command(OUTPUT ${bin}
      COMMAND ${PATHBLOOM_PIPL_TOOL_COMMAND} ${profile} ${bin}
      DEPENDS ${PATHBLOOM_PIPL_TOOL_DEPENDS}
      COMMENT "PiPL resource of ${target}")
    file(WRITE ${rc} "LANGUAGE 0x09, 0x01\n16000 PiPL \"${bin}\"\n")
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${bin})
    target_sources(${target} PRIVATE ${rc})
  else()
    set(file ${outdir}/VomrelPathBloom.pipl)
    add_custom_command(OUTPUT ${file}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
      COMMAND ${PATHBLOOM_PIPL_TOOL_COMMAND} ${profile} ${file}
      DEPENDS ${PATHBLOOM_PIPL_TOOL_DEPENDS}
      COMMENT "Property list of ${target}")
    add_custom_target(${target}_pipl ALL DEPENDS ${file})
    add_dependencies(${target} ${target}_pipl)
  endif()
endfunction()

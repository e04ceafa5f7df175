# Fails when a file includes a project header from a folder its own folder
# may not use; on success touches STAMP. Run with -DROOT=<source dir>
# -DSTAMP=<file>. The arrows point one way: host -> engine -> raster -> hostapi;
# minihost speaks only the host interface, and the command only minihost.
cmake_minimum_required(VERSION 3.20)

set(allowed_raster hostapi raster)
set(allowed_engine hostapi raster engine)
set(allowed_host hostapi raster engine host resources)
set(allowed_hostapi hostapi)
set(allowed_resources resources)
set(allowed_minihost hostapi minihost)
set(allowed_cli hostapi minihost cli)

set(faults "")
foreach(folder raster engine host hostapi resources minihost cli)
  file(GLOB files ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*$" "\\1" header "${line}")
      string(FIND "${header}" "/" slash)
      if(slash EQUAL -1)
        continue()
      endif()
      string(SUBSTRING "${header}" 0 ${slash} target)
      if(NOT target IN_LIST allowed_${folder})
        file(RELATIVE_PATH name ${ROOT} ${file})
        string(APPEND faults "  ${name} includes \"${header}\": ${folder}/ may use only ${allowed_${folder}}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes across folders the wrong way:\n${faults}")
endif()
file(TOUCH ${STAMP})

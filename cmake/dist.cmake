# Assembles dist/ in the build folder: the distribution folder as the product
# ships it, with Setup.exe (on Linux the native binary under that name), the
# stand-in OrvelDraw.exe and the data folders of the source tree's dist/.
set(ORVEL_DIST_DIR ${CMAKE_BINARY_DIR}/dist)

add_executable(OrvelDraw dist/OrvelDraw.cpp)
if(WIN32)
  target_link_options(OrvelDraw PRIVATE -mwindows -municode)
endif()

file(GLOB_RECURSE ORVEL_DIST_DATA CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/dist/languages/*
  ${CMAKE_SOURCE_DIR}/dist/templates/*
  ${CMAKE_SOURCE_DIR}/dist/styles/*
  ${CMAKE_SOURCE_DIR}/dist/img/*)

set(ORVEL_DIST_STAMP ${CMAKE_BINARY_DIR}/dist.stamp)
add_custom_command(OUTPUT ${ORVEL_DIST_STAMP}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/dist -DDEST=${ORVEL_DIST_DIR}
          -DSETUP=$<TARGET_FILE:Setup> -DAPP=$<TARGET_FILE:OrvelDraw>
          -P ${CMAKE_SOURCE_DIR}/cmake/assemble_dist.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${ORVEL_DIST_STAMP}
  DEPENDS Setup OrvelDraw ${ORVEL_DIST_DATA} ${CMAKE_SOURCE_DIR}/cmake/assemble_dist.cmake
  COMMENT "Assembling the demo distribution in ${ORVEL_DIST_DIR}")
add_custom_target(dist ALL DEPENDS ${ORVEL_DIST_STAMP})

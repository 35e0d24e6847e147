# Assembles dist/ in the build folder: the distribution folder as the product
# ships it, with Setup.exe (on Linux the native binary under that name), the
# stand-in OrvelDraw.exe and the data folders of the source tree's dist/. A
# Windows build with the scripted variant assembles dist-scripted/ beside it,
# the same distribution with that variant as its Setup.exe, for the scripted
# runs under Wine; on the emulated machine the one program is scripted and
# both names mean dist/.
set(ORVEL_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(ORVEL_SCRIPTED_DIST_DIR ${ORVEL_DIST_DIR})

add_executable(OrvelDraw dist/OrvelDraw.cpp)
if(WIN32)
  target_sources(OrvelDraw PRIVATE dist/OrvelDraw.rc)
  target_include_directories(OrvelDraw PRIVATE ${CMAKE_SOURCE_DIR} ${ORVEL_GENERATED_DIR})
  set_source_files_properties(dist/OrvelDraw.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/app/version_info.rc;${ORVEL_GENERATED_DIR}/product.h")
  target_link_options(OrvelDraw PRIVATE -mwindows -municode)
endif()

# orvel_dist(<target> <folder> <Setup target>)
# Put together at every build, with no stamp to trust: what a run of the
# program removed from the folder, or changed there, is made whole again.
function(orvel_dist target folder setup)
  add_custom_target(${target} ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/dist -DDEST=${folder}
            -DSETUP=$<TARGET_FILE:${setup}> -DAPP=$<TARGET_FILE:OrvelDraw>
            -P ${CMAKE_SOURCE_DIR}/cmake/assemble_dist.cmake
    COMMENT "Assembling the demo distribution in ${folder}"
    VERBATIM)
  add_dependencies(${target} ${setup} OrvelDraw)
endfunction()

orvel_dist(dist ${ORVEL_DIST_DIR} Setup)
if(TARGET SetupScripted)
  set(ORVEL_SCRIPTED_DIST_DIR ${CMAKE_BINARY_DIR}/dist-scripted)
  orvel_dist(dist_scripted ${ORVEL_SCRIPTED_DIST_DIR} SetupScripted)
endif()

# cmake -DSOURCE=<dist sources> -DDEST=<dist folder> -DSETUP=<binary> -DAPP=<binary> -P assemble_dist.cmake
#
# Makes DEST the distribution whatever is there now: a file that is missing
# or differs is copied, anything else removed. It runs at every build, so that
# a distribution that a run of the program changed (an uninstallation
# removes the setup program's own files) is whole again after the next one.
cmake_minimum_required(VERSION 3.20)
set(folders languages templates styles img)
set(files Setup.exe OrvelDraw.exe)
set(Setup.exe_source ${SETUP})
set(OrvelDraw.exe_source ${APP})
foreach(sub ${folders})
  file(GLOB found LIST_DIRECTORIES false RELATIVE ${SOURCE} ${SOURCE}/${sub}/*)
  foreach(file ${found})
    list(APPEND files ${file})
    set(${file}_source ${SOURCE}/${file})
  endforeach()
endforeach()

if(EXISTS ${DEST} AND NOT IS_DIRECTORY ${DEST})
  file(REMOVE ${DEST})
endif()
file(MAKE_DIRECTORY ${DEST})

# What is there and not wanted goes, deepest first.
file(GLOB_RECURSE present LIST_DIRECTORIES true RELATIVE ${DEST} ${DEST}/*)
list(SORT present ORDER DESCENDING)
foreach(entry ${present})
  if(IS_DIRECTORY ${DEST}/${entry} AND NOT IS_SYMLINK ${DEST}/${entry})
    if(NOT entry IN_LIST folders)
      file(REMOVE_RECURSE ${DEST}/${entry})
    endif()
  elseif(NOT entry IN_LIST files)
    file(REMOVE ${DEST}/${entry})
  endif()
endforeach()

foreach(sub ${folders})
  file(MAKE_DIRECTORY ${DEST}/${sub})
endforeach()
foreach(file ${files})
  set(source ${${file}_source})
  set(target ${DEST}/${file})
  if(EXISTS ${target})
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${source} ${target}
      RESULT_VARIABLE differs OUTPUT_QUIET ERROR_QUIET)
    if(NOT differs)
      continue()
    endif()
    # Removed first: a file the program made read-only is replaced all the same.
    file(REMOVE ${target})
  endif()
  file(COPY_FILE ${source} ${target})
endforeach()

# Each layer of the program is one static library, and the layering is kept by
# the compiler: a layer's include path is a folder in the build tree holding
# links to that layer's own headers under their source paths
# ("common/error.h"), never the source tree itself. A file sees the headers of
# its own layer and of the layers its library links, so an include against the
# layering fails to compile with "No such file or directory".

# Fills `root` with links to `headers` (absolute paths in the source tree).
function(orvel_header_tree root)
  file(REMOVE_RECURSE ${root})
  foreach(header ${ARGN})
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${header})
    get_filename_component(folder ${root}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${header} ${root}/${relative} SYMBOLIC)
  endforeach()
endfunction()

# orvel_layer(<target> SOURCES <files> HEADERS <files>
#             [PUBLIC <layers>] [PRIVATE <layers>])
# PUBLIC: layers whose headers this layer's headers include; PRIVATE: layers
# only its sources use.
function(orvel_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;HEADERS;PUBLIC;PRIVATE")
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  orvel_header_tree(${root} ${LAYER_HEADERS})
  add_library(${target} STATIC ${LAYER_SOURCES})
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${LAYER_PUBLIC} PRIVATE ${LAYER_PRIVATE})
endfunction()

# orvel_headers(<target> HEADERS <files> [LINK <targets>]): headers without
# sources of their own, as an interface library.
function(orvel_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "HEADERS;LINK")
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  orvel_header_tree(${root} ${LAYER_HEADERS})
  add_library(${target} INTERFACE)
  target_include_directories(${target} INTERFACE ${root})
  target_link_libraries(${target} INTERFACE ${LAYER_LINK})
endfunction()

# zb_public_headers(target [folder])
# Headers are included by their path from the source root
# ("server/core/seat.h"), and only by targets that link the library they
# belong to: each library offers its own folder (or `folder`, relative to the
# current one) under include/<target>/ in the build tree, as a link to the
# source folder, and nothing offers the whole source root.
function(zb_public_headers target)
  set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARGC GREATER 1)
    set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${ARGV1})
  endif()
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
  set(base ${PROJECT_BINARY_DIR}/include/${target})
  set(link ${base}/${rel})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(IS_SYMLINK ${link})
    file(REMOVE ${link})
  endif()
  file(CREATE_LINK ${dir} ${link} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${base})
  else()
    target_include_directories(${target} PUBLIC ${base})
  endif()
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt of its own, so that a
# new area of tools, tests or benchmarks needs no edit here.
function(lumivex_add_subfolders)
  file(GLOB entries CONFIGURE_DEPENDS LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir IN LISTS entries)
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

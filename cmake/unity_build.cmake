# Unity builds (CMAKE_UNITY_BUILD, which scripts/build.sh turns on) compile a target's sources a
# batch per translation unit, so the large headers are parsed and their templates instantiated
# once per batch rather than once per file. Xlib's headers define macros with everyday names
# (Status, None, Bool, True), so a source that includes them keeps a translation unit of its own.
function(glimmet_keep_x11_sources_apart)
  foreach(source ${ARGN})
    file(STRINGS ${source} x11_includes REGEX "#include [<\"](X11/|platform/linux/x11_)")
    if(x11_includes)
      set_source_files_properties(${source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

# The loader looks every symbol up through the libraries in the order a program names them,
# and most lookups are for Qt Core, the C library and the C++ runtime. A program that names
# those first spares each start part of its relocation work: some 3M instructions for the
# launcher at a login and for the client's scheduled run each. The sanitizers' runtime has to
# come first, so their builds keep the linker's order.
function(ovex_name_common_libraries_first target)
  if(NOT OVEX_SANITIZE AND NOT OVEX_FUZZ)
    target_link_options(${target} PRIVATE "LINKER:--push-state,--no-as-needed" "$<TARGET_LINKER_FILE:Qt6::Core>"
      "-l:libc.so.6" "-lstdc++" "$<TARGET_LINKER_FILE:Qt6::Gui>" "$<TARGET_LINKER_FILE:Qt6::Widgets>"
      "LINKER:--pop-state")
  endif()
endfunction()

# The Windows programs open files by their UTF-8 names through the C library, so they ask
# Windows for UTF-8 as their code page (Windows 10 1903 and later).
configure_file(${CMAKE_CURRENT_LIST_DIR}/utf8.rc.in ${CMAKE_BINARY_DIR}/utf8.rc @ONLY)
function(kotobune_windows_program target)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/utf8.rc)
endfunction()

# Every Windows program carries a manifest (UTF-8 as its code page, so the C library opens the
# UTF-8 names it is handed, Windows 10 1903 and later; per-monitor DPI awareness, so Windows
# does not blur the picture the game scaled itself), our version resource and our icon.
set(KOTOBUNE_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KOTOBUNE_WINDOWS_ICON ${KOTOBUNE_HOST_BUILD}/icons/kotobune.ico)
function(kotobune_windows_program target description)
  set(KOTOBUNE_PROGRAM ${target})
  set(KOTOBUNE_PROGRAM_DESCRIPTION "${description}")
  set(rc ${CMAKE_BINARY_DIR}/${target}.rc)
  configure_file(${KOTOBUNE_WINDOWS_DIR}/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${KOTOBUNE_WINDOWS_ICON};${KOTOBUNE_WINDOWS_DIR}/kotobune.manifest")
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The threading library is linked whole into every program, and its own version resource
# would stand beside ours: the programs link a copy without it.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread.a
                OUTPUT_VARIABLE winpthread OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/winpthread)
file(COPY_FILE ${winpthread} ${CMAKE_BINARY_DIR}/winpthread/libwinpthread.a)
execute_process(COMMAND ${CMAKE_AR} d ${CMAKE_BINARY_DIR}/winpthread/libwinpthread.a version.o COMMAND_ERROR_IS_FATAL ANY)
link_directories(BEFORE ${CMAKE_BINARY_DIR}/winpthread)

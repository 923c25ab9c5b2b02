# Delay-loaded import libraries for the Windows build: a DLL that only some requests need is
# mapped on its first call instead of at start-up, which keeps the idle working set small.
# kest_delay_import(<target-var> <dll stem>) makes lib<stem>_delay.a from mingw's import library.
function(kest_delay_import out_var stem)
  find_library(_implib_${stem} NAMES lib${stem}.a ${stem} REQUIRED)
  find_program(KEST_NM NAMES ${CMAKE_CXX_COMPILER_TARGET}-nm x86_64-w64-mingw32-nm REQUIRED)
  find_program(KEST_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
  set(def ${CMAKE_BINARY_DIR}/delay/${stem}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay/lib${stem}_delay.a)
  if(NOT EXISTS ${lib})
    execute_process(COMMAND ${KEST_NM} ${_implib_${stem}} OUTPUT_VARIABLE symbols
                    ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_][A-Za-z0-9_]*" lines "${symbols}")
    set(exports "")
    foreach(line ${lines})
      string(REGEX REPLACE "^[0-9a-f]+ T " "" name "${line}")
      list(APPEND exports ${name})
    endforeach()
    list(REMOVE_DUPLICATES exports)
    list(JOIN exports "\n" body)
    file(WRITE ${def} "LIBRARY ${stem}.dll\nEXPORTS\n${body}\n")
    execute_process(COMMAND ${KEST_DLLTOOL} --dllname ${stem}.dll --def ${def}
                            --output-delaylib ${lib} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${out_var} ${lib} PARENT_SCOPE)
endfunction()

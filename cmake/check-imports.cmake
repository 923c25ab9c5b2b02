# Fails when an executable imports, at start-up, a DLL outside the allowed list: one more
# eagerly loaded system DLL is paid for in the idle working set by every run of the core.
# cmake -DOBJDUMP=<objdump> -DEXE=<file> -DALLOWED=<dll,...> -P check-imports.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${headers}")
string(TOLOWER "${ALLOWED}" allowed)
string(REPLACE "," ";" allowed "${allowed}")
set(unexpected "")
foreach(line ${lines})
  string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower IN_LIST allowed)
    list(APPEND unexpected ${dll})
  endif()
endforeach()
if(unexpected)
  list(JOIN unexpected ", " names)
  file(REMOVE ${EXE}) # not left behind looking like a good build
  message(FATAL_ERROR "${EXE} imports ${names} at start-up; list the DLL in KEST_DELAY_LOADED "
                      "(CMakeLists.txt) so that it is mapped at its first call")
endif()

# Passes when the library the system's code links (ceplatform) defines none
# of the functions that the device-control headers declare, so system code
# that declared one of them itself still could not link it.
#   cmake -DNM=<nm> -DLIBRARY=<libceplatform.a> -DCONTROL_DIR=<platform/control> -P ...
file(GLOB headers ${CONTROL_DIR}/*.h)
set(names)
foreach(header ${headers})
  file(STRINGS ${header} declarations REGEX "^[A-Za-z].*[ *&][A-Za-z0-9_]+\\(")
  foreach(declaration ${declarations})
    string(REGEX MATCH "([A-Za-z0-9_]+)\\(" ignored "${declaration}")
    list(APPEND names ${CMAKE_MATCH_1})
  endforeach()
endforeach()
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no function declarations found in ${CONTROL_DIR}/*.h")
endif()

execute_process(COMMAND ${NM} -C -g --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
set(defined)
foreach(name ${names})
  if(symbols MATCHES " [A-Z] ${name}\\(")
    list(APPEND defined ${name})
  endif()
endforeach()
if(defined)
  message(FATAL_ERROR "ceplatform defines device-control functions: ${defined}")
endif()
message(STATUS "ceplatform defines none of the ${count} device-control functions: ${names}")

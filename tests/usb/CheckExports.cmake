# Fails unless LIBRARY exports exactly the USB library's nine entry points and
# our two optional queries beside them.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [^\n]+" lines "${out}")
set(found "")
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "" name "${line}")
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected _MPUSBClose _MPUSBGetDLLVersion _MPUSBGetDeviceCount _MPUSBGetStringDescriptor _MPUSBOpen
             _MPUSBRead _MPUSBReadInt _MPUSBSetConfiguration _MPUSBWrite _QZGetDeviceAccess
             _QZGetDeviceLocation)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()

# Writes one CTest test for each test function of a Qt Test executable:
#   cmake -DEXE=... -DNAME=... -DOUT=... -DTIMEOUT=... -DENVIRONMENT=... -P listfunctions.cmake
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND ${EXE} -functions OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${EXE} -functions failed (${rc})")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z_0-9]*\\(\\)" functions "${listing}")
set(tests "")
foreach(function IN LISTS functions)
  string(REPLACE "()" "" function "${function}")
  string(APPEND tests "add_test([=[${NAME}:${function}]=] [=[${EXE}]=] [=[${function}]=])\n"
                      "set_tests_properties([=[${NAME}:${function}]=] PROPERTIES TIMEOUT ${TIMEOUT}"
                      " ENVIRONMENT [=[${ENVIRONMENT}]=])\n")
endforeach()
file(WRITE ${OUT} "${tests}")

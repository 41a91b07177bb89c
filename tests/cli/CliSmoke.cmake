# The Windows tintweld-cli under Wine: one model merged into the "dff" folder,
# the log on standard output with its CR LF kept as they are, and a missing
# model making the exit status 1.
# cmake -DEMULATOR=... -DCLI=... -DMODELGEN=... -DDIR=... -P CliSmoke.cmake
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")

function(run expected)
  # Through a file, read as hexadecimal: CMake drops the CR of a CR LF from
  # an output variable and from a file read as text.
  execute_process(COMMAND ${EMULATOR} ${ARGN} WORKING_DIRECTORY "${DIR}"
                  RESULT_VARIABLE status OUTPUT_FILE "${DIR}/out.txt")
  file(READ "${DIR}/out.txt" out HEX)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "${ARGN}: status ${status}, not ${expected}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(0 "${MODELGEN}" --vertices 5 day.dff)
run(0 "${CLI}" --dff-folder day.dff)
string(HEX "\r\nDFF created: " created)
string(HEX "dff\\day.dff\r\n" path)
if(NOT out MATCHES "${created}.*${path}" OR out MATCHES "0d0d0a")
  message(FATAL_ERROR "unexpected log:\n${out}")
endif()
if(NOT EXISTS "${DIR}/dff/day.dff")
  message(FATAL_ERROR "no dff/day.dff")
endif()
run(1 "${CLI}" missing.dff)

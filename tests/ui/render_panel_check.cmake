# Runs the panel render tool the way a developer would and checks what it
# leaves behind: a PNG of the panel's size, and on a path it cannot write, a
# message and a failing exit status rather than a silent success.
#   cmake -DTOOL=<render_panel> -DWORK=<scratch dir> -P render_panel_check.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

execute_process(COMMAND "${TOOL}" "${WORK}/panel.png"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "render_panel failed (${rc}): ${err}")
endif()
file(READ "${WORK}/panel.png" head LIMIT 24 HEX)
# PNG signature, then the IHDR chunk's width and height: 280 x 300.
if(NOT head MATCHES "^89504e470d0a1a0a0000000d49484452000001180000012c$")
  message(FATAL_ERROR "not a 280x300 PNG: ${head}")
endif()

execute_process(COMMAND "${TOOL}" --scale 2 "${WORK}/panel2.png"
                RESULT_VARIABLE rc ERROR_VARIABLE err)
file(READ "${WORK}/panel2.png" head LIMIT 24 HEX)
if(NOT rc EQUAL 0 OR NOT head MATCHES "^89504e470d0a1a0a0000000d494844520000023000000258$")
  message(FATAL_ERROR "--scale 2 should give 560x600 (${rc}, ${head}): ${err}")
endif()

foreach(args "${WORK}/missing/dir/panel.png" "--scale;9;${WORK}/x.png" "")
  execute_process(COMMAND "${TOOL}" ${args}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 OR NOT err MATCHES "render_panel: ")
    message(FATAL_ERROR "'${args}' should fail with a message, got ${rc}: ${err}")
  endif()
endforeach()
if(EXISTS "${WORK}/x.png")
  message(FATAL_ERROR "a rejected command line still wrote a file")
endif()

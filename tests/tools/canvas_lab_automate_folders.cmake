# Runs `kelvo-canvas-lab automate` over what is no usable automation folder (a missing path, a
# FIFO, a regular file, a path under a regular file): each ends at once with status 1 and the
# reason, before the lab waits for any command.
#   cmake -DLAB=<kelvo-canvas-lab> -DTREE=<tree file> -DFOLDER=<scratch folder> -P canvas_lab_automate_folders.cmake

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
execute_process(COMMAND mkfifo "${FOLDER}/commands.fifo" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mkfifo ended with ${status}")
endif()
file(WRITE "${FOLDER}/commands.txt" "wait\n")

function(expect_refused path reason)
  string(TIMESTAMP started "%s")
  execute_process(COMMAND "${LAB}" automate "${TREE}" "${path}" RESULT_VARIABLE status ERROR_VARIABLE printed
                  TIMEOUT 20)
  string(TIMESTAMP ended "%s")
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "kelvo-canvas-lab automate ${path} ended with ${status}: ${printed}")
  endif()
  if(NOT printed STREQUAL "kelvo-canvas-lab: cannot automate through ${path}: ${reason}\n")
    message(FATAL_ERROR "kelvo-canvas-lab automate ${path} printed: ${printed}")
  endif()
  # The lab would otherwise end only after a second without commands.
  math(EXPR seconds "${ended} - ${started}")
  if(seconds GREATER 3)
    message(FATAL_ERROR "kelvo-canvas-lab automate ${path} took ${seconds} s to refuse the folder")
  endif()
endfunction()

expect_refused("${FOLDER}/missing" FileNotFound)
expect_refused("${FOLDER}/commands.fifo" NotDir)
expect_refused("${FOLDER}/commands.txt" NotDir)
expect_refused("${FOLDER}/commands.txt/inner" NotDir)
# Nothing was created in the refused places.
if(EXISTS "${FOLDER}/missing")
  message(FATAL_ERROR "kelvo-canvas-lab automate created ${FOLDER}/missing")
endif()
file(READ "${FOLDER}/commands.txt" left)
if(NOT left STREQUAL "wait\n")
  message(FATAL_ERROR "kelvo-canvas-lab automate changed commands.txt: ${left}")
endif()
file(REMOVE_RECURSE "${FOLDER}")

# Runs `kelvo-canvas-lab automate` on a text area holding "x" and a line feed 8,192 times, then
# "y" (16,385 bytes: more lines than a frame lays out), beside a checkbox. Its screenshots are
# written, no frame fails, and a click on the checkbox changes the picture.
#   cmake -DLAB=<kelvo-canvas-lab> -DFOLDER=<scratch folder> -P canvas_lab_long_text.cmake

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
string(REPEAT "x\\n" 8192 lines)
file(WRITE "${FOLDER}/notes.tree"
     "column id=1 rect=0,0,480,240\n"
     "  text_area id=2 rect=10,10,300,200 text=\"${lines}y\" selection=0,0 actions=focus\n"
     "  checkbox id=3 rect=330,10,120,32 text=\"Check\" actions=toggle\n")

# Runs the lab over `commands` (one command a file) in a folder of its own and keeps its screenshot.
function(run_lab name)
  set(run "${FOLDER}/${name}")
  file(MAKE_DIRECTORY "${run}")
  set(n 1)
  foreach(command IN LISTS ARGN)
    file(WRITE "${run}/command-${n}.txt" "${command}\n")
    math(EXPR n "${n} + 1")
  endforeach()
  execute_process(COMMAND "${LAB}" automate "${FOLDER}/notes.tree" "${run}" RESULT_VARIABLE status
                  ERROR_VARIABLE printed TIMEOUT 60)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kelvo-canvas-lab automate (${name}) ended with ${status}: ${printed}")
  endif()
  if(NOT EXISTS "${run}/screenshot-canvas.png")
    message(FATAL_ERROR "no screenshot was written (${name}): ${printed}")
  endif()
  file(READ "${run}/snapshot.txt" snapshot)
  if(NOT snapshot MATCHES " dispatch_errors=0 ")
    message(FATAL_ERROR "a frame failed (${name}): ${snapshot}")
  endif()
  file(SHA256 "${run}/screenshot-canvas.png" shot)
  set(${name}_shot "${shot}" PARENT_SCOPE)
  set(${name}_snapshot "${snapshot}" PARENT_SCOPE)
endfunction()

run_lab(before "wait" "screenshot canvas" "wait")
run_lab(clicked "wait" "widget-click canvas 3" "screenshot canvas" "wait")
if(NOT clicked_snapshot MATCHES "canvas#3 [^\n]*state=\\[[^]]*selected")
  message(FATAL_ERROR "the checkbox was not checked: ${clicked_snapshot}")
endif()
if(before_shot STREQUAL clicked_shot)
  message(FATAL_ERROR "the checked checkbox was not drawn: both screenshots are alike")
endif()
file(REMOVE_RECURSE "${FOLDER}")

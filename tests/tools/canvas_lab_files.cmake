# Runs `kelvo-canvas-lab render` on what is no tree file (a folder, a FIFO, a device): each is
# refused at once with its reason; and on a text area holding the most text a view's widgets can
# hold, selected whole, which draws.
#   cmake -DLAB=<kelvo-canvas-lab> -DFOLDER=<scratch folder> -P canvas_lab_files.cmake

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
execute_process(COMMAND mkfifo "${FOLDER}/tree.fifo" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mkfifo ended with ${status}")
endif()

function(expect_refused path reason)
  # A FIFO without a writer would hold a blocking open for ever: the time-out catches that.
  execute_process(COMMAND "${LAB}" render "${path}" "${FOLDER}/refused.png" RESULT_VARIABLE status
                  ERROR_VARIABLE printed TIMEOUT 20)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "kelvo-canvas-lab render ${path} ended with ${status}: ${printed}")
  endif()
  if(NOT printed STREQUAL "kelvo-canvas-lab: cannot read ${path}: ${reason}\n")
    message(FATAL_ERROR "kelvo-canvas-lab render ${path} printed: ${printed}")
  endif()
endfunction()

expect_refused("${FOLDER}" IsDir)
expect_refused("${FOLDER}/tree.fifo" InvalidReadablePath)
expect_refused("/dev/zero" InvalidReadablePath)

# 65,536 bytes of text: 2,730 lines of 23 bytes and a line feed, then 16 bytes more. With its
# selected glyphs drawn over it, the text has more lines than a frame lays out unless they share.
set(line "abcdefghijabcdefghijabc\\n")
string(REPEAT "${line}" 2730 text)
file(WRITE "${FOLDER}/notes.tree"
     "column id=1 rect=0,0,660,400\n"
     "  text_area id=2 rect=10,10,640,380 text=\"${text}abcdefghijklmnop\" selection=0,65536\n")
execute_process(COMMAND "${LAB}" render "${FOLDER}/notes.tree" "${FOLDER}/notes.png" RESULT_VARIABLE status
                ERROR_VARIABLE printed TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvo-canvas-lab render notes.tree ended with ${status}: ${printed}")
endif()
file(SIZE "${FOLDER}/notes.png" size)
if(size LESS 1000)
  message(FATAL_ERROR "notes.png holds only ${size} bytes")
endif()
file(REMOVE_RECURSE "${FOLDER}")

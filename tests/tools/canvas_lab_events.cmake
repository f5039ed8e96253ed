# Runs `kelvo-canvas-lab events` and compares what it prints with the golden the runtime tests use.
#   cmake -DLAB=<kelvo-canvas-lab> -DTREE=<tree> -DSCRIPT=<script> -DGOLDEN=<events> -P canvas_lab_events.cmake

execute_process(COMMAND "${LAB}" events "${TREE}" "${SCRIPT}" RESULT_VARIABLE status OUTPUT_VARIABLE printed TIMEOUT 30)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvo-canvas-lab events ended with ${status}")
endif()
file(READ "${GOLDEN}" golden)
if(NOT printed STREQUAL golden)
  message(FATAL_ERROR "kelvo-canvas-lab events printed:\n${printed}\nexpected:\n${golden}")
endif()

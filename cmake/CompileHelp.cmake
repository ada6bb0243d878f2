# Compiles the help file (run with cmake -P, from docs/help/CMakeLists.txt):
#   -DCHMCMD=compiler -DPROJECT_FILE=name.hhp -DSOURCES=path|path|...
#   -DSTAGE=folder -DOUTPUT=path/help.chm
# The sources are copied into STAGE, a fresh folder, where chmcmd compiles
# them (it writes next to the project file). chmcmd's exit code says nothing
# of missing files or anchors: any line of its output starting with
# "Warning" or "Error" fails the build. OUTPUT is removed first, so that a
# failed compile never leaves an older help file behind.
cmake_minimum_required(VERSION 3.20)
file(REMOVE "${OUTPUT}")
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
string(REPLACE "|" ";" sources "${SOURCES}")
file(COPY ${sources} DESTINATION "${STAGE}")

execute_process(
  COMMAND "${CHMCMD}" "${PROJECT_FILE}"
  WORKING_DIRECTORY "${STAGE}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
string(REGEX MATCHALL "(^|\n)(Warning|Error)[^\n]*" complaints "${output}")
if(NOT result EQUAL 0 OR complaints)
  message(FATAL_ERROR "chmcmd failed on ${PROJECT_FILE}:\n${output}")
endif()

get_filename_component(output_name "${OUTPUT}" NAME)
get_filename_component(output_folder "${OUTPUT}" DIRECTORY)
if(NOT EXISTS "${STAGE}/${output_name}")
  message(FATAL_ERROR "chmcmd wrote no ${output_name} (its project file names the output)")
endif()
file(COPY "${STAGE}/${output_name}" DESTINATION "${output_folder}")

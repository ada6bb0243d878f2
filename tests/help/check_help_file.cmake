# Checks help.chm against the files it was compiled from (cmake -P):
#   -DCHMLS=chmls -DHELP_FILE=path/help.chm -DSOURCES=path|path|... -DWORK=folder
# - the file is a CHM archive (it starts with "ITSF");
# - it holds every source file but the project file, byte for byte: a page
#   left out of the archive, or an archive older than its pages, fails;
# - the table of contents names every page;
# - every link of the pages, of the contents and of the index leads to a
#   file in the archive and to an anchor that file defines (chmcmd does not
#   check the contents and index at all);
# - the text files are plain ASCII, anything else written as an entity.
# Every fault found is reported, not only the first.

cmake_minimum_required(VERSION 3.20)
set(faults "")
macro(fault text)
  string(APPEND faults "\n  ${text}")
endmacro()

if(NOT EXISTS "${HELP_FILE}")
  message(FATAL_ERROR "${HELP_FILE} does not exist")
endif()
file(READ "${HELP_FILE}" signature LIMIT 4 HEX)
if(NOT signature STREQUAL "49545346")
  message(FATAL_ERROR "${HELP_FILE} is no CHM archive: it starts with the bytes ${signature}")
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${CHMLS}" extractall "${HELP_FILE}" "${WORK}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "chmls cannot read ${HELP_FILE}:\n${output}")
endif()

string(REPLACE "|" ";" sources "${SOURCES}")
set(pages "")
set(texts "")
foreach(source IN LISTS sources)
  get_filename_component(name "${source}" NAME)
  if(name MATCHES "\\.hhp$")
    list(APPEND texts "${source}")
    continue()  # the project file is what chmcmd compiles, not part of the archive
  endif()
  if(NOT EXISTS "${WORK}/${name}")
    fault("${name} is missing from the archive")
    continue()
  endif()
  file(SHA256 "${source}" wanted)
  file(SHA256 "${WORK}/${name}" found)
  if(NOT wanted STREQUAL found)
    fault("${name} in the archive differs from its source")
  endif()
  if(name MATCHES "\\.htm$")
    list(APPEND pages "${name}")
  endif()
  if(name MATCHES "\\.(htm|hhc|hhk|css)$")
    list(APPEND texts "${source}")
  endif()
endforeach()

# The targets of a file's links: href and src attributes, and the Local
# parameters of the contents and the index.
function(link_targets path result)
  file(READ "${path}" text)
  string(REGEX MATCHALL "(href|src|HREF|SRC)=\"[^\"]*\"" attributes "${text}")
  string(REGEX MATCHALL "name=\"Local\" value=\"[^\"]*\"" locals "${text}")
  set(targets "")
  foreach(attribute IN LISTS attributes locals)
    string(REGEX REPLACE "^.*\"([^\"]*)\"$" "\\1" target "${attribute}")
    list(APPEND targets "${target}")
  endforeach()
  set(${result} "${targets}" PARENT_SCOPE)
endfunction()

foreach(source IN LISTS texts)
  get_filename_component(name "${source}" NAME)

  file(READ "${source}" hex HEX)
  string(REGEX REPLACE "(..)" " \\1" bytes "${hex}")
  if(bytes MATCHES " [89a-f].")
    fault("${name} holds bytes outside ASCII")
  endif()

  link_targets("${source}" targets)
  foreach(target IN LISTS targets)
    if(target MATCHES "^[a-z]+:")
      continue()  # a link out of the help
    endif()
    string(REGEX REPLACE "#.*$" "" file_part "${target}")
    set(anchor "")
    if(target MATCHES "#(.*)$")
      set(anchor "${CMAKE_MATCH_1}")
    endif()
    if(file_part STREQUAL "")
      set(file_part "${name}")
    endif()
    if(NOT EXISTS "${WORK}/${file_part}" OR IS_DIRECTORY "${WORK}/${file_part}")
      fault("${name} links to ${target}: no such file in the archive")
      continue()
    endif()
    if(NOT anchor STREQUAL "")
      file(READ "${WORK}/${file_part}" linked)
      string(FIND "${linked}" "id=\"${anchor}\"" by_id)
      string(FIND "${linked}" "name=\"${anchor}\"" by_name)
      if(by_id EQUAL -1 AND by_name EQUAL -1)
        fault("${name} links to ${target}: ${file_part} has no anchor ${anchor}")
      endif()
    endif()
  endforeach()

  if(name MATCHES "\\.hhc$")
    link_targets("${source}" contents)
    foreach(page IN LISTS pages)
      if(NOT page IN_LIST contents)
        fault("the contents do not name ${page}")
      endif()
    endforeach()
  endif()
endforeach()

if(NOT faults STREQUAL "")
  message(FATAL_ERROR "${HELP_FILE}:${faults}")
endif()

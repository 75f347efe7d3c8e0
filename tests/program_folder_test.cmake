# Lays the shipped defaults over a program folder in which the user has
# changed one file and deleted another, as a rebuild does: the change must
# survive and the deleted file must come back.
#   cmake -DSRC=<source folder> -DWORK=<scratch folder> -P program_folder_test.cmake
set(dest "${WORK}/program_folder_test")
file(REMOVE_RECURSE "${dest}")
file(MAKE_DIRECTORY "${dest}/data")
file(WRITE "${dest}/data/main.htm" "changed by the user")

execute_process(
  COMMAND "${CMAKE_COMMAND}" -DSRC=${SRC} -DDEST=${dest} -P "${SRC}/cmake/CopyDefaults.cmake"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "laying out the program folder failed: ${rc}")
endif()

file(READ "${dest}/data/main.htm" kept)
if(NOT kept STREQUAL "changed by the user")
  message(FATAL_ERROR "the user's data/main.htm was overwritten")
endif()

file(GLOB_RECURSE shipped RELATIVE "${SRC}" "${SRC}/book/*" "${SRC}/fetchwell/data/*")
if(NOT shipped)
  message(FATAL_ERROR "no shipped defaults found under ${SRC}")
endif()
foreach(f IN LISTS shipped)
  if(NOT EXISTS "${dest}/${f}")
    message(FATAL_ERROR "shipped file ${f} was not copied")
  endif()
  file(SHA256 "${SRC}/${f}" want)
  file(SHA256 "${dest}/${f}" got)
  if(NOT want STREQUAL got)
    message(FATAL_ERROR "shipped file ${f} was copied wrongly")
  endif()
endforeach()
file(REMOVE_RECURSE "${dest}")

# The script machine's include root holds what it may include and nothing else: a file
# including the machine's own headers compiles against it, one including the timeline does
# not. Run with -DCXX=compiler -DROOT=include-root -DOUT=scratch-folder.
file(MAKE_DIRECTORY ${OUT})
# -DALLOWED=header,header names the machine's own headers (avm1's by default).
string(REPLACE "," ";" ALLOWED "${ALLOWED}")
if(NOT ALLOWED)
  set(ALLOWED movie/avm1/vm.h movie/avm1/host.h)
endif()
set(allowedText "")
foreach(header ${ALLOWED})
  string(APPEND allowedText "#include \"${header}\"\n")
endforeach()
file(WRITE ${OUT}/allowed.cpp "${allowedText}")
file(WRITE ${OUT}/timeline.cpp "#include \"movie/timeline/stage.h\"\n")
file(WRITE ${OUT}/renderer.cpp "#include \"movie/render/movie_renderer.h\"\n")
execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${ROOT} ${OUT}/allowed.cpp
                RESULT_VARIABLE allowed ERROR_VARIABLE allowedErrors)
if(NOT allowed EQUAL 0)
  message(FATAL_ERROR "the machine's own headers do not compile on its include root:\n${allowedErrors}")
endif()
foreach(forbidden timeline renderer)
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${ROOT} ${OUT}/${forbidden}.cpp
                  RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(result EQUAL 0)
    message(FATAL_ERROR "the ${forbidden} can be included from the script machine")
  endif()
  if(NOT errors MATCHES "No such file")
    message(FATAL_ERROR "including the ${forbidden} failed for another reason:\n${errors}")
  endif()
endforeach()
message(STATUS "the script machine sees only its own folders")

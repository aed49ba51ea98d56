# Compiles the Win32 input layer with mingw-w64 as a check that it still
# builds; nothing is linked or run.
file(MAKE_DIRECTORY ${OUT_DIR})
foreach(src ${SOURCES})
  get_filename_component(name ${src} NAME_WE)
  execute_process(
    COMMAND ${CXX} -std=c++17 -Wall -Wextra -Wpedantic -Werror -I${SRC_DIR} -c ${src} -o ${OUT_DIR}/${name}.o
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "win32 compile check failed for ${src}")
  endif()
endforeach()
message(STATUS "win32 compile check passed")

# brumo.ico, made at build time from the icon art in display/icon.h by a small tool built with
# the host's own C++ compiler (the cross compiler's programs would not run here).
find_program(BRUMO_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH)
if(NOT BRUMO_HOST_CXX)
  message(FATAL_ERROR "A host C++ compiler (c++, g++ or clang++) is needed to make brumo.ico")
endif()
set(BRUMO_MAKE_ICON ${CMAKE_CURRENT_BINARY_DIR}/make_icon)
add_custom_command(OUTPUT ${BRUMO_ICON_FILE}
  COMMAND ${BRUMO_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror
          -I${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/make_icon.cpp -o ${BRUMO_MAKE_ICON}
  COMMAND ${BRUMO_MAKE_ICON} ${BRUMO_ICON_FILE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_icon.cpp ${CMAKE_SOURCE_DIR}/display/icon.h
  COMMENT "Making brumo.ico from the icon art"
  VERBATIM)

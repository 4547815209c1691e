# Build helpers shared by every folder.

# The warnings every target of the project is built with; VANTRELIS_WERROR
# (on in CI) makes them errors.
set(VANTRELIS_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
# Clang's -Wconversion takes in signedness too; GCC's meaning is the one kept.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(APPEND VANTRELIS_WARNINGS -Wno-sign-conversion)
endif()
if(VANTRELIS_WERROR)
  list(APPEND VANTRELIS_WARNINGS -Werror)
endif()

# vantrelis_add_library(NAME SOURCES a.cpp ... [PUBLIC libs...] [PRIVATE libs...])
# The static library vantrelis_NAME (alias vantrelis::NAME) from the listed
# sources; its headers are included as "NAME/header.h" from the project root.
function(vantrelis_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(vantrelis_${name} STATIC ${L_SOURCES})
  add_library(vantrelis::${name} ALIAS vantrelis_${name})
  target_include_directories(vantrelis_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(vantrelis_${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
  target_compile_options(vantrelis_${name} PRIVATE ${VANTRELIS_WARNINGS})
endfunction()

# vantrelis_add_program(NAME SOURCES main.cpp LIBS ... [DESTINATION dir])
# An executable over the project's libraries, installed into DESTINATION
# (the binaries folder unless given).
function(vantrelis_add_program name)
  cmake_parse_arguments(P "" "DESTINATION" "SOURCES;LIBS" ${ARGN})
  if(NOT P_DESTINATION)
    set(P_DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  target_compile_options(${name} PRIVATE ${VANTRELIS_WARNINGS})
  install(TARGETS ${name} RUNTIME DESTINATION ${P_DESTINATION})
endfunction()

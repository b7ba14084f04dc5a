# Finds the symbols of the module functions the simulator wraps, in the built host library of
# the module, from their names in sim/binding/phase_functions.h. Writes a header of their symbol
# names for the wrappers and the linker options that route the module's calls to the wrappers.
# A listed function the library does not define, or defines more than once, fails the build.
#   cmake -DNM=... -DLIBRARY=... -DLIST=... -DHEADER=... -DOPTIONS=... -P module_symbols.cmake
file(READ ${LIST} list_text)
string(REGEX MATCHALL "[^A-Za-z_](PHASE\\([A-Za-z_][A-Za-z0-9_]*,|LOGGED\\([A-Za-z_][A-Za-z0-9_]*\\))"
       entries "${list_text}")
set(names)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^.(PHASE|LOGGED)\\(([A-Za-z0-9_]+).*$" "\\2" name "${entry}")
  list(APPEND names ${name})
endforeach()
if(NOT names)
  message(FATAL_ERROR "${LIST}: no module functions listed")
endif()

execute_process(COMMAND ${NM} --defined-only -P ${LIBRARY} OUTPUT_VARIABLE nm_text
                RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "${NM} could not list ${LIBRARY}")
endif()
# POSIX format: "name type value size"; keep the names of functions (code symbols).
string(REGEX MATCHALL "(^|\n)[A-Za-z_][A-Za-z0-9_$.]* [TtW]" code_symbols "${nm_text}")

set(header "// Generated from sim/binding/phase_functions.h and the module library's symbols.\n")
string(APPEND header "#pragma once\n")
set(options "")
foreach(name IN LISTS names)
  string(LENGTH "${name}" length)
  set(found)
  foreach(line IN LISTS code_symbols)
    string(STRIP "${line}" line)
    string(REGEX REPLACE " [TtW]$" "" symbol "${line}")
    # A C++ function at namespace scope (any parameters), or a C function.
    if(symbol MATCHES "^_Z${length}${name}" OR symbol STREQUAL name)
      list(APPEND found ${symbol})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES found)
  list(LENGTH found count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${LIST}: ${name} is defined ${count} times in ${LIBRARY} (${found}); "
                        "the list must name functions the module defines once")
  endif()
  string(APPEND header "#define MODULE_SYMBOL_${name} \"${found}\"\n")
  string(APPEND options "-Wl,--wrap=${found}\n-Wl,--undefined=__wrap_${found}\n")
endforeach()

# Rewritten only when changed, so that an unchanged list does not rebuild its users.
foreach(pair "HEADER;header" "OPTIONS;options")
  list(GET pair 0 file_var)
  list(GET pair 1 text_var)
  set(old "")
  if(EXISTS ${${file_var}})
    file(READ ${${file_var}} old)
  endif()
  if(NOT old STREQUAL "${${text_var}}")
    file(WRITE ${${file_var}} "${${text_var}}")
  endif()
endforeach()

# Fails when an object file built for one instruction set defines a symbol
# that the linker may merge with another object's copy (nm types W, V, u):
# the linker keeps one copy of such a symbol for the whole program, and if it
# keeps the one built with AVX, a CPU without AVX crashes in code that every
# path shares. Symbols of anonymous namespaces, or of templates over their
# types, are never merged and are allowed.
# Whatever a kernel header takes from the standard library (std::min,
# std::bit_cast, std::vector) is such a symbol in a build that does not inline
# it, so the kernel headers use compiler builtins and T-dependent types.
#   cmake -DNM=nm -DOBJECTS="a.o|b.o" -P per_isa_symbols.cmake
string(REPLACE "|" ";" objects "${OBJECTS}")
if(NOT objects)
  message(FATAL_ERROR "no object files given")
endif()
set(shared "")
foreach(object IN LISTS objects)
  execute_process(COMMAND "${NM}" "${object}" OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ [WVu] (.+)$")
      set(symbol "${CMAKE_MATCH_1}")
      # DW.ref.__gxx_personality_v0 is a pointer to the C++ runtime's own
      # exception routine, the same in every object, not code of ours. Type
      # information (_ZTI) and type names (_ZTS), which clang's check of
      # indirect calls emits for the entry points' function types, are
      # constant data, the same whichever object the linker keeps.
      if(NOT symbol MATCHES "_GLOBAL__N_" AND NOT symbol STREQUAL "DW.ref.__gxx_personality_v0"
         AND NOT symbol MATCHES "^_ZT[IS]")
        string(APPEND shared "\n  ${object}: ${symbol}")
      endif()
    endif()
  endforeach()
endforeach()
if(shared)
  message(FATAL_ERROR "code built for one instruction set that the linker may share with the others:${shared}")
endif()

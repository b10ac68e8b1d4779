# qb_place_run_functions(<target> <link flag>...) links <target> with the
# linker's own default script for those flags, in which the code section
# begins with the functions listed in cmake/run-functions.ld (written by
# tools/order-functions.sh). They stay inside .text, so debuggers, profilers
# and valgrind see one code section as usual.
#
# The default script is the one GNU ld prints with --verbose for a program
# linked with the same flags; where it has no such code section (another
# linker), the target is linked as before.
function(qb_place_run_functions target)
  set(list ${PROJECT_SOURCE_DIR}/cmake/run-functions.ld)
  set(probe ${CMAKE_CURRENT_BINARY_DIR}/linker-script-probe)
  file(WRITE ${probe}.cpp "int main() { return 0; }\n")
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} ${ARGN} -Wl,--verbose ${probe}.cpp -o ${probe}
    OUTPUT_VARIABLE printed ERROR_QUIET RESULT_VARIABLE failed)
  set(rule "==================================================\n")
  string(FIND "${printed}" "${rule}" start)
  string(FIND "${printed}" "${rule}" end REVERSE)
  set(unordered "    *(.text.unlikely .text.*_unlikely .text.unlikely.*)")
  if(failed OR start EQUAL -1 OR end LESS_EQUAL start)
    message(STATUS "Run functions: no default linker script; the code keeps the linker's order")
    return()
  endif()
  string(LENGTH "${rule}" rule_length)
  math(EXPR start "${start} + ${rule_length}")
  math(EXPR length "${end} - ${start}")
  string(SUBSTRING "${printed}" ${start} ${length} script)
  string(FIND "${script}" "${unordered}" at)
  if(at EQUAL -1)
    message(STATUS "Run functions: the default linker script has no known code section")
    return()
  endif()
  string(REPLACE "${unordered}" "    INCLUDE \"${list}\"\n${unordered}" script "${script}")
  set(placed ${CMAKE_CURRENT_BINARY_DIR}/run-functions-placed.ld)
  file(WRITE ${placed} "${script}")
  target_link_options(${target} PRIVATE -Wl,-T,${placed})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${list} ${placed})
  # The list changes the link, not the configuration: a new list is read at
  # the next link, through the INCLUDE.
endfunction()

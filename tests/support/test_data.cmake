# The fixture files below tests/data (golden stores and logs the unit and the
# end-to-end tests share) are built into the test support as byte arrays, so
# that every test program finds them by name wherever it runs: natively, and
# the Windows build's under Wine, where the source tree's path means nothing.
# tests/support/test_data.h reads them.
#
# Included from tests/CMakeLists.txt it adds the generated source to
# qb_testsupport; run with -P (DATA_DIR, OUTPUT) it writes that source.
if(CMAKE_SCRIPT_MODE_FILE)
  file(GLOB_RECURSE names RELATIVE "${DATA_DIR}" "${DATA_DIR}/*")
  list(FILTER names EXCLUDE REGEX "(^|/)\\.gitattributes$")
  list(SORT names)
  set(arrays "")
  set(entries "")
  set(index 0)
  string(REPEAT "0x..," 24 row)  # 24 bytes a line
  foreach(name IN LISTS names)
    file(READ "${DATA_DIR}/${name}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(${row})" "\\1\n    " bytes "${bytes}")
    # One byte more, so that an empty file still makes an array.
    string(APPEND arrays "const unsigned char kFile${index}[] = {\n    ${bytes}0};\n")
    string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  file(WRITE "${OUTPUT}.new"
       "// Written by tests/support/test_data.cmake from tests/data; do not edit.\n"
       "#include <cstddef>\n\n"
       "#include \"tests/support/test_data.h\"\n\n"
       "namespace quillbank::testing::embedded {\n"
       "namespace {\n${arrays}}  // namespace\n\n"
       "const DataFile kDataFiles[] = {\n${entries}    {nullptr, nullptr, 0}};\n\n"
       "}  // namespace quillbank::testing::embedded\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
  file(REMOVE "${OUTPUT}.new")
  return()
endif()

set(test_data_folder ${CMAKE_CURRENT_LIST_DIR}/../data)
file(GLOB_RECURSE test_data_files CONFIGURE_DEPENDS ${test_data_folder}/*)
set(test_data_source ${CMAKE_CURRENT_BINARY_DIR}/test_data_files.cpp)
add_custom_command(
  OUTPUT ${test_data_source}
  COMMAND ${CMAKE_COMMAND} -DDATA_DIR=${test_data_folder} -DOUTPUT=${test_data_source}
          -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS ${test_data_files} ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Building tests/data into the test support"
  VERBATIM)
target_sources(qb_testsupport PRIVATE ${test_data_source})

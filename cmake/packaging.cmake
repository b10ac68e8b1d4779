# The manual page is made by a host program from the tables --help prints,
# so a cross build has none.
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  add_executable(quillbank_manpage ${PROJECT_SOURCE_DIR}/tools/manpage/main.cpp)
  target_link_libraries(quillbank_manpage PRIVATE qb_app)
  set(QB_MANPAGE ${CMAKE_BINARY_DIR}/quillbank.1)
  # gzip -n leaves out the name and time, so the same page packs the same.
  add_custom_command(OUTPUT ${QB_MANPAGE} ${QB_MANPAGE}.gz
    COMMAND quillbank_manpage ${QB_MANPAGE}
    COMMAND gzip -9nkf ${QB_MANPAGE}
    DEPENDS quillbank_manpage
    COMMENT "Making the manual page quillbank.1.gz"
    VERBATIM)
  add_custom_target(manpage ALL DEPENDS ${QB_MANPAGE}.gz)
endif()

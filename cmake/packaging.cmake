# What an administrator deploys, packed by CPack from the install rules below
# (tools/build.sh release builds and packs the release presets):
# - Windows: a .zip per architecture holding quillbank.exe and README.md;
# - Linux: a .deb installing /usr/bin/quillbank and its manual page.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME quillbank)
set(CPACK_PACKAGE_VENDOR "Quillbank developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up the mail provider's POP3 account in a mail client")
# The release presets link with -s already; this strips what another preset
# packs too.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS quillbank RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  # CPack would call every Windows build win32; the name tells the two apart.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QB_PACKAGE_SYSTEM win64)
  else()
    set(QB_PACKAGE_SYSTEM win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quillbank-${PROJECT_VERSION}-${QB_PACKAGE_SYSTEM})
  # The two files at the top of the archive, as they go beside each other.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(TARGETS quillbank RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The manual page is made by a host program from the tables --help prints,
  # so a cross build has none.
  if(NOT CMAKE_CROSSCOMPILING)
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
    install(FILES ${QB_MANPAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillbank developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION mail)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary above this.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillbank sets up one hosted mail provider's POP3 account in Outlook Express,\n"
    "Outlook, Windows Mail, Eudora or Thunderbird. On Linux it changes a machine\n"
    "folder laid out like a Wine prefix, or with --home the user's own Thunderbird.")
  # The libraries the program links, as dpkg-shlibdeps finds them; CPack
  # needs it and file(1) for that, and names the usual ones without them.
  find_program(QB_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(QB_FILE file)
  if(QB_DPKG_SHLIBDEPS AND QB_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()

include(CPack)

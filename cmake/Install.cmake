# `make install`: the native tintweld-cli and its manual page, which help2man
# writes from the program's own --help and --version, so the two never part.
# Nothing else of the tree is installed.
include(GNUInstallDirs)

install(TARGETS tintweld-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# What `make install` builds before it installs: the installed files alone,
# not the tests.
add_custom_target(installed-files DEPENDS tintweld-cli)

find_program(TINTWELD_HELP2MAN help2man)
if(TINTWELD_HELP2MAN)
  set(man "${CMAKE_BINARY_DIR}/tintweld-cli.1")
  set(layout "${PROJECT_SOURCE_DIR}/cli/tintweld-cli.h2m")
  add_custom_command(
    OUTPUT "${man}"
    COMMAND "${TINTWELD_HELP2MAN}" --no-info --output "${man}" --include "${layout}"
            --name "add night vertex colours to DFF models" $<TARGET_FILE:tintweld-cli>
    DEPENDS tintweld-cli "${layout}"
    COMMENT "Writing the manual page tintweld-cli.1")
  add_custom_target(tintweld-cli-man ALL DEPENDS "${man}")
  add_dependencies(installed-files tintweld-cli-man)
  install(FILES "${man}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: the manual page of tintweld-cli is not made")
endif()

# The manual page and the bash completion of tam are written from the built binary's own help
# after every link of tam_tool, so that every subcommand and option appears in both without anyone
# editing them. Included from tools/CMakeLists.txt, where tam_tool is defined.
set(TAM_MANUAL_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TAM_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/tam.1)
set(TAM_BASH_COMPLETION ${CMAKE_CURRENT_BINARY_DIR}/tam.bash-completion)
add_custom_command(TARGET tam_tool POST_BUILD
  COMMAND bash ${TAM_MANUAL_DIR}/make-manual.sh $<TARGET_FILE:tam_tool> ${TAM_MAN_PAGE}
          ${TAM_BASH_COMPLETION}
  COMMENT "Writing the tam manual page and bash completion from its help"
  VERBATIM)
# A change to the generator relinks tam, which writes both files again.
set_property(TARGET tam_tool APPEND PROPERTY LINK_DEPENDS
  ${TAM_MANUAL_DIR}/make-manual.sh ${TAM_MANUAL_DIR}/help-records.awk
  ${TAM_MANUAL_DIR}/manual-tail.roff)
install(FILES ${TAM_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TAM_BASH_COMPLETION}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tam)

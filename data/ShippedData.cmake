# velmora_ship_data(<target>)
# Copies the data files shipped beside the program (the template library's
# "templates.vtp") next to the target's executable after each build, where
# the program looks for them first.
function(velmora_ship_data target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            "${CMAKE_SOURCE_DIR}/data/templates.vtp" "$<TARGET_FILE_DIR:${target}>/templates.vtp"
    VERBATIM)
endfunction()

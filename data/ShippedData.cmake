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

# velmora_ship_sample(<target>)
# Places the sample portfolio (built by the sample_portfolio target of
# app/) next to the target's executable, where the first recent file of a
# fresh start points, as an installer places it beside the program.
function(velmora_ship_sample target)
  add_dependencies(${target} sample_portfolio)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            "${VELMORA_SAMPLE_PORTFOLIO}" "$<TARGET_FILE_DIR:${target}>/Sample Portfolio.pfo"
    VERBATIM)
endfunction()
set(VELMORA_SAMPLE_PORTFOLIO "${CMAKE_BINARY_DIR}/data/Sample Portfolio.pfo")

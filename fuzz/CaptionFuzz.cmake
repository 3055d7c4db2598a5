# The caption target: picture header readers and caption markup. Included
# from fuzz/CMakeLists.txt; run by scripts/fuzz.sh like the other targets,
# keeping what fails in tests/controls/fuzz-regressions/.
add_executable(caption_fuzz ${CMAKE_CURRENT_LIST_DIR}/CaptionFuzz.cpp)
target_link_libraries(caption_fuzz PRIVATE controls)
target_compile_options(caption_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(caption_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

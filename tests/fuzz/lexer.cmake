# The lexer's libFuzzer target, fuzz_lexer_scan (clang only: configure with
# CC=clang CXX=clang++ -DZOL_FUZZ=ON). The scanner's sources are compiled into the
# target itself so that libFuzzer's coverage instrumentation and AddressSanitizer
# see them; the rest of the core comes from zolcore.
if(TARGET fuzz_lexer_scan)
  return()   # already made by a directory that builds every fuzz_*.cpp
endif()
add_executable(fuzz_lexer_scan
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_lexer_scan.cpp
  ${CMAKE_SOURCE_DIR}/interpreter/lexer_scan.cpp
  ${CMAKE_SOURCE_DIR}/interpreter/lexer_tables.cpp)
target_include_directories(fuzz_lexer_scan PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(fuzz_lexer_scan PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_lexer_scan PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_lexer_scan PRIVATE zolcore)

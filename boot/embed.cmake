# Turns the library's files into a C++ source defining them as strings, for a build
# configured with ZOL_LIBRARY_AS_TEXT (the raw texts instead of the boot image).
# Run with -DINPUTS (the paths, separated by "|"), -DNAMES (the names reports give
# them, likewise), -DOUTPUT, -DNAMESPACE and -DSYMBOL; the source defines SYMBOL as
# an array of boot::SourceText (name, text, length) in the list's order, and
# SYMBOL_count as its length.
if(DEFINED INPUTS)
  string(REPLACE "|" ";" inputs "${INPUTS}")
  string(REPLACE "|" ";" names "${NAMES}")
  set(body "// Generated from the library's source list; do not edit.\n#include \"boot/boot.h\"\n\nnamespace ${NAMESPACE} {\n\n")
  set(entries "")
  set(i 0)
  foreach(input ${inputs})
    list(GET names ${i} name)
    file(READ ${input} content)
    string(LENGTH "${content}" size)
    string(APPEND body "static const char text_${i}[] = R\"ZOLEMBED(${content})ZOLEMBED\";\n")
    string(APPEND entries "    {\"${name}\", text_${i}, ${size}},\n")
    math(EXPR i "${i} + 1")
  endforeach()
  string(APPEND body "\nextern const SourceText ${SYMBOL}[] = {\n${entries}};\nextern const size_t ${SYMBOL}_count = ${i};\n\n}\n")
  file(WRITE ${OUTPUT} "${body}")
endif()

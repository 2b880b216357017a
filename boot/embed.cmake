# Turns a text file into a C++ source defining it as a string: run with -DINPUT,
# -DOUTPUT, -DNAMESPACE, -DSYMBOL (the text) and -DSIZE_SYMBOL (its length).
file(READ ${INPUT} content)
string(LENGTH "${content}" size)
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\nnamespace ${NAMESPACE} {\n\nextern const char ${SYMBOL}[] = R\"ZOLEMBED(${content})ZOLEMBED\";\nextern const size_t ${SIZE_SYMBOL} = ${size};\n\n}\n")

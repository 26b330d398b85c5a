# Turns a file into a C++ source holding its bytes as an array, at build time:
#   cmake -DINPUT=file -DOUTPUT=out.cpp -DSYMBOL=name -P EmbedFile.cmake
# The source defines corvalin::<SYMBOL>[] and corvalin::<SYMBOL>Size.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstddef>\n#include <cstdint>\n"
  "namespace corvalin\n{\n"
  "extern const uint8_t ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}Size;\n"
  "const uint8_t ${SYMBOL}[] = {\n${bytes}\n};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n"
  "} // namespace corvalin\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")

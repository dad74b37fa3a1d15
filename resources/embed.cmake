# Turns a file into a C++ source holding its bytes:
#   cmake -DINPUT=file -DOUTPUT=out.cpp -DSYMBOL=name -P embed.cmake
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," array "${bytes}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " array "${array}")
file(WRITE "${OUTPUT}"
"// Generated from ${INPUT}; do not edit.\n"
"#include <cstddef>\n"
"#include <cstdint>\n"
"namespace resources {\n"
"extern const uint8_t ${SYMBOL}[] = {\n    ${array}\n};\n"
"extern const size_t ${SYMBOL}_size = ${size};\n"
"}  // namespace resources\n")

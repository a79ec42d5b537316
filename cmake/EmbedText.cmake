# Writes the bytes of INPUT into OUTPUT as a C++ source that defines
# NAME() returning them as a std::string_view, so that a resource is compiled
# into the program from the one file that is also shipped.
#   cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P EmbedText.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; do not edit.\n"
  "#include <string_view>\n\n"
  "namespace {\n"
  "const char kBytes[] = {\n    ${bytes}'\\0'};\n"
  "}  // namespace\n\n"
  "std::string_view ${NAME}() { return {kBytes, ${size}}; }\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")

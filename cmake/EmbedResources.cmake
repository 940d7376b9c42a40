# Writes OUTPUT, a C++ unit that holds each file of INPUTS (a list of PNG files) as a byte
# array, and the table LM1_ResourceFiles that names them by file name (see source/startup/LM1_Resources.h).
#   cmake -DOUTPUT=out.cpp "-DINPUTS=a.png;b.png" -P EmbedResources.cmake
set(body "// Generated from source/resources/ by cmake/EmbedResources.cmake; do not edit.\n")
string(APPEND body "#include \"LM1_Resources.h\"\n\nnamespace {\n")
set(table "")
set(index 0)
foreach(input ${INPUTS})
    get_filename_component(name ${input} NAME)
    file(READ ${input} hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
    string(APPEND body "const unsigned char resource${index}[${size}] = {\n${bytes}\n};\n")
    string(APPEND table "    {\"${name}\", resource${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "} // namespace\n\nconst LM1_ResourceFile LM1_ResourceFiles[] = {\n${table}    {nullptr, nullptr, 0},\n};\n")
file(WRITE ${OUTPUT}.tmp "${body}")
# Only a changed content touches the file, so an unchanged PNG set rebuilds nothing.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)

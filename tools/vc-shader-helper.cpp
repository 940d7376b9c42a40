// The shader compiler's helper process: compiles the texts it is sent on standard input and
// answers on standard output, until its input ends. Started and fed by QP_Compile when crash
// isolation is on (a workbench); a crash on a malformed text ends only this process.

#include "QP_ShaderCompiler.h"

int main()
{
    return QP_RunShaderCompilerHelper();
}

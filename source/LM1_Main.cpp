// Entry point of "LM: Velvet Cascade". The program takes no arguments and reads no
// configuration: every start-up setting is a constant here.

#include "qc/QC_Log.h"

int main()
{
    QC_CreateLog(QC_LogConfig{.fatalMessageBox = true});
    QC_DestroyLog();
    return 0;
}

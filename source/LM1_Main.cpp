// Entry point of "LM: Velvet Cascade". The program takes no arguments and reads no
// configuration: every start-up setting is a constant here.

#include "qc/QC_Log.h"
#include "qc/QC_Thread.h"

int main()
{
    // Named before the log exists, so every line and every debugger shows it as "Main".
    QC_SetThreadName("Main");
    QC_CreateLog(QC_LogConfig{.fatalMessageBox = true});
    QC_DestroyLog();
    return 0;
}

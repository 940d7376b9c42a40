#include "QP_Console.h"

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{
// Written by the handler, read by the job: a lock-free atomic of the signal-safe kind.
volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signalNumber)
{
    stopSignal = signalNumber;
}

void SetAction(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Reads and writes that the signal interrupts go on: the job stops at its own next check.
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}
} // namespace

bool QP_ErrorStreamIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

int QP_ErrorStreamColumns(int fallback)
{
    winsize size = {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return fallback;
}

void QP_CatchStopSignals()
{
    stopSignal = 0;
    SetAction(SIGINT, OnStopSignal);
    SetAction(SIGTERM, OnStopSignal);
}

bool QP_StopRequested()
{
    return stopSignal != 0;
}

int QP_StopSignal()
{
    return stopSignal;
}

void QP_ReleaseStopSignals()
{
    SetAction(SIGINT, SIG_DFL);
    SetAction(SIGTERM, SIG_DFL);
}

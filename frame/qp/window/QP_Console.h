#pragma once
// The process's console: whether standard error is a terminal (a progress bar redrawn in place)
// or a file or pipe (whole lines only), and the stop request that Ctrl-C or SIGTERM make.
// Nothing outside frame/qp includes a platform header; this file includes none either.
//
//   QP_CatchStopSignals();                // from now on Ctrl-C and SIGTERM only set a flag
//   while (work && !QP_StopRequested()) ...
//   QP_ReleaseStopSignals();              // the default actions again

// True when standard error is a terminal.
bool QP_ErrorStreamIsTerminal();

// The width of the terminal on standard error in columns, or fallback when it has none.
int QP_ErrorStreamColumns(int fallback);

// Makes SIGINT and SIGTERM set the stop request instead of ending the process, so a long job
// can stop at a point of its choosing and leave its output whole. Clears the request.
void QP_CatchStopSignals();

// True once SIGINT or SIGTERM arrived after QP_CatchStopSignals.
bool QP_StopRequested();

// Which signal made the request (0: none), for the note that says why the job stopped.
int QP_StopSignal();

// Restores the default actions of SIGINT and SIGTERM.
void QP_ReleaseStopSignals();

// SIGTERM, SIGINT and SIGHUP as a request to end the program the way Exit does.
#pragma once

// Installs the handlers (once); false when they could not be installed.
bool CatchStopSignals();
// True once one of the signals arrived.
bool StopRequested();
// Readable once one of the signals arrived, for a wait to watch; -1 when there is none.
int StopSignalDescriptor();

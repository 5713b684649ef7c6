// One running copy per user: a held file lock, and bringing the running copy's window forward.
#pragma once

enum InstanceLockResult { LockAcquired, LockHeldElsewhere, LockUnavailable };

// Takes the lock named after name, in QIVRA_LOCK_DIR when set, else in
// $XDG_RUNTIME_DIR, else in /tmp (with the user id in the file name). The lock
// is kept until ReleaseInstanceLock or the end of the process.
InstanceLockResult AcquireInstanceLock(const char* name);
void ReleaseInstanceLock();

// Looks for the top-level window of that WM_CLASS name for about two seconds (the first
// copy may still be starting or be showing only its dialog) and activates it.
bool BringRunningCopyForward(const char* windowClass);

// Counts what the calling thread asks of the C library while it is watched: heap allocations,
// file operations and lock acquisitions. The counting replaces malloc, fopen, open, stat,
// pthread_mutex_lock and their kin in the test program, so it sees every caller, the C++ runtime
// included. Available in native Linux builds without sanitizers only.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ThreadActivity {
    long allocations;    // malloc, calloc, realloc, aligned allocations (operator new uses them)
    long fileOperations; // opening, examining, creating, renaming or removing files, dlopen
    long foreignLocks;   // acquisitions of any lock but the one allowed
    long allowedWaits;   // acquisitions of the allowed lock that had to wait for another thread
} ThreadActivity;

// Whether this build counts at all.
int ThreadActivityAvailable(void);
// Starts counting on the calling thread (from zero). `allowedLock` is the one mutex the thread
// may take: its acquisitions are not foreign, but its waits are counted.
void ThreadActivityBegin(const void* allowedLock);
// Stops counting on the calling thread and returns what was counted.
ThreadActivity ThreadActivityEnd(void);

#ifdef __cplusplus
}
#endif

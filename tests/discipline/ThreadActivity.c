// The replacements behind ThreadActivity.h. Each counts when the calling thread is watched and
// then does what the C library would: the allocation functions through glibc's own entry
// points, the rest through the next definition of the same name.
#define _GNU_SOURCE
#include "tests/discipline/ThreadActivity.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdarg.h>
#include <stddef.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QX_COUNTING 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define QX_COUNTING 0
#endif
#endif
#if !defined(QX_COUNTING) && defined(__GLIBC__)
#define QX_COUNTING 1
#endif
#ifndef QX_COUNTING
#define QX_COUNTING 0
#endif

static _Thread_local int watching;
static _Thread_local const void* allowedLock;
static _Thread_local ThreadActivity counted;

int ThreadActivityAvailable(void) {
    return QX_COUNTING;
}

void ThreadActivityBegin(const void* allowed) {
    ThreadActivity none = {0, 0, 0, 0};
    counted = none;
    allowedLock = allowed;
    watching = 1;
}

ThreadActivity ThreadActivityEnd(void) {
    watching = 0;
    return counted;
}

#if QX_COUNTING

// glibc's allocator under its own names: calling these never comes back here.
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

// Every counted event passes here: a debugger's breakpoint on it shows who asked.
__attribute__((noinline)) void ThreadActivityNoticed(void) {
    __asm__ volatile("");
}

#define NOTE_ALLOCATION() (watching ? ++counted.allocations, ThreadActivityNoticed() : (void)0)
#define NOTE_FILE() (watching ? ++counted.fileOperations, ThreadActivityNoticed() : (void)0)

void* malloc(size_t size) {
    NOTE_ALLOCATION();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    NOTE_ALLOCATION();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    NOTE_ALLOCATION();
    return __libc_realloc(pointer, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    NOTE_ALLOCATION();
    return __libc_memalign(alignment, size);
}

void* memalign(size_t alignment, size_t size) {
    NOTE_ALLOCATION();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    NOTE_ALLOCATION();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22; // EINVAL
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer) return 12; // ENOMEM
    *result = pointer;
    return 0;
}

// The next definition of a function of this name (the C library's), looked up once.
#define NEXT(type, name)                                                                           \
    static __typeof__(type) next_##name;                                                           \
    if (!next_##name) next_##name = (type)dlsym(RTLD_NEXT, #name)

// File functions: declared here rather than through the system headers, whose declarations
// may carry attributes or inline wrappers; only the calling convention matters.
typedef struct CFile CFile;
struct stat;

CFile* fopen(const char* path, const char* mode) {
    NEXT(CFile * (*)(const char*, const char*), fopen);
    NOTE_FILE();
    return next_fopen(path, mode);
}

CFile* fopen64(const char* path, const char* mode) {
    NEXT(CFile * (*)(const char*, const char*), fopen64);
    NOTE_FILE();
    return next_fopen64(path, mode);
}

CFile* freopen(const char* path, const char* mode, CFile* stream) {
    NEXT(CFile * (*)(const char*, const char*, CFile*), freopen);
    NOTE_FILE();
    return next_freopen(path, mode, stream);
}

#define OPEN_WITH_MODE(name)                                                                       \
    int name(const char* path, int flags, ...) {                                                   \
        NEXT(int (*)(const char*, int, ...), name);                                                \
        NOTE_FILE();                                                                               \
        va_list arguments;                                                                         \
        va_start(arguments, flags);                                                                \
        unsigned mode = va_arg(arguments, unsigned);                                               \
        va_end(arguments);                                                                         \
        return next_##name(path, flags, mode);                                                     \
    }
OPEN_WITH_MODE(open)
OPEN_WITH_MODE(open64)

int openat(int folder, const char* path, int flags, ...) {
    NEXT(int (*)(int, const char*, int, ...), openat);
    NOTE_FILE();
    va_list arguments;
    va_start(arguments, flags);
    unsigned mode = va_arg(arguments, unsigned);
    va_end(arguments);
    return next_openat(folder, path, flags, mode);
}

int stat(const char* path, struct stat* info) {
    NEXT(int (*)(const char*, struct stat*), stat);
    NOTE_FILE();
    return next_stat(path, info);
}

int lstat(const char* path, struct stat* info) {
    NEXT(int (*)(const char*, struct stat*), lstat);
    NOTE_FILE();
    return next_lstat(path, info);
}

int access(const char* path, int mode) {
    NEXT(int (*)(const char*, int), access);
    NOTE_FILE();
    return next_access(path, mode);
}

int mkdir(const char* path, unsigned mode) {
    NEXT(int (*)(const char*, unsigned), mkdir);
    NOTE_FILE();
    return next_mkdir(path, mode);
}

int rename(const char* from, const char* to) {
    NEXT(int (*)(const char*, const char*), rename);
    NOTE_FILE();
    return next_rename(from, to);
}

int unlink(const char* path) {
    NEXT(int (*)(const char*), unlink);
    NOTE_FILE();
    return next_unlink(path);
}

int remove(const char* path) {
    NEXT(int (*)(const char*), remove);
    NOTE_FILE();
    return next_remove(path);
}

void* dlopen(const char* path, int flags) {
    NEXT(void* (*)(const char*, int), dlopen);
    NOTE_FILE();
    return next_dlopen(path, flags);
}

// Locks: any acquisition but the allowed lock's is foreign; the allowed lock counts a wait when
// it is held by another thread.
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    NEXT(int (*)(pthread_mutex_t*), pthread_mutex_lock);
    NEXT(int (*)(pthread_mutex_t*), pthread_mutex_trylock);
    if (watching) {
        if ((const void*)mutex != allowedLock) {
            ++counted.foreignLocks;
            ThreadActivityNoticed();
        } else if (next_pthread_mutex_trylock(mutex) == 0) {
            return 0;
        } else {
            ++counted.allowedWaits;
        }
    }
    return next_pthread_mutex_lock(mutex);
}

#endif

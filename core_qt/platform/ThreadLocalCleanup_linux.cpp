#include "ThreadLocalCleanup.h"

// glibc runs a thread's thread_local destructors before it frees their storage.
void orderThreadLocalCleanup() { }

// SPDX-License-Identifier: GPL-3.0-or-later
// Counts the calls that can make the current thread wait (blocking mutex, reader-writer lock,
// condition and semaphore waits, yields and sleeps, and rand() and random(), which take the C
// library's lock) while a scope is armed, by interposing the
// C library's functions. Include it in exactly one translation unit of a test program. The
// component is loaded with dlopen and binds these names to the program's definitions, which
// call the C library's through dlsym(RTLD_NEXT). Sanitizer runtimes interpose the same names,
// so under a sanitizer the counter is compiled out and available() is false.
#pragma once

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNWICK_LOCK_COUNTER 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TARNWICK_LOCK_COUNTER 0
#endif
#endif
#ifndef TARNWICK_LOCK_COUNTER
#define TARNWICK_LOCK_COUNTER 1
#endif

namespace lock_counter {
inline thread_local bool armed = false;
inline thread_local long count = 0;

constexpr bool available() {
  return TARNWICK_LOCK_COUNTER != 0;
}

// Counts this thread's waiting calls for the lifetime of the object.
class Scope {
 public:
  Scope() {
    count = 0;
    armed = true;
  }
  ~Scope() { armed = false; }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  long waits() const { return count; }
};

// The next definition of name; the condition functions by their current version (an
// unversioned look-up finds the old compatibility ones).
template <class Function>
Function next(const char* name) {
  void* found = nullptr;
  if (name[0] == 'p' && name[8] == 'c') found = dlvsym(RTLD_NEXT, name, "GLIBC_2.3.2");
  if (!found) found = dlsym(RTLD_NEXT, name);
  return reinterpret_cast<Function>(found);
}
}  // namespace lock_counter

#if TARNWICK_LOCK_COUNTER
#define TARNWICK_COUNTED(ret, name, params, args)                \
  extern "C" ret name params {                                   \
    static auto real = lock_counter::next<ret(*) params>(#name); \
    if (lock_counter::armed) ++lock_counter::count;              \
    return real args;                                            \
  }

TARNWICK_COUNTED(int, pthread_mutex_lock, (pthread_mutex_t * m), (m))
TARNWICK_COUNTED(int, pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t),
                 (m, t))
TARNWICK_COUNTED(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l))
TARNWICK_COUNTED(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l))
TARNWICK_COUNTED(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
TARNWICK_COUNTED(int, pthread_cond_timedwait,
                 (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t), (c, m, t))
TARNWICK_COUNTED(int, sem_wait, (sem_t * s), (s))
TARNWICK_COUNTED(int, sched_yield, (), ())
TARNWICK_COUNTED(int, nanosleep, (const struct timespec* t, struct timespec* r), (t, r))
TARNWICK_COUNTED(int, rand, (), ())
TARNWICK_COUNTED(long, random, (), ())
#undef TARNWICK_COUNTED
#endif

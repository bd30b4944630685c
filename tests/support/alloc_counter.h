// SPDX-License-Identifier: GPL-3.0-or-later
// Counts heap allocations made by the current thread while a scope is armed. Include it in
// exactly one translation unit of a test program: it replaces the global operator new/delete.
#pragma once

#include <cstdlib>
#include <new>

namespace alloc_counter {
inline thread_local bool armed = false;
inline thread_local long count = 0;

// Counts allocations on this thread for the lifetime of the object.
class Scope {
 public:
  Scope() {
    count = 0;
    armed = true;
  }
  ~Scope() { armed = false; }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  long allocations() const { return count; }
};
}  // namespace alloc_counter

// With ALLOC_COUNTER_ABORT set in the environment, an allocation in an armed scope aborts, so
// that a debugger shows where it came from.
inline void noteAllocation() {
  if (!alloc_counter::armed) return;
  ++alloc_counter::count;
  if (std::getenv("ALLOC_COUNTER_ABORT")) std::abort();
}

inline void* countedAllocate(std::size_t size) {
  noteAllocation();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  return p;
}

void* operator new(std::size_t size) {
  return countedAllocate(size);
}
void* operator new[](std::size_t size) {
  return countedAllocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  noteAllocation();
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  noteAllocation();
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

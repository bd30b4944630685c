// SPDX-License-Identifier: GPL-3.0-or-later
// The process's diagnostic lines: fixed-text messages of the component and its services.
// Lines from the render thread (and alerts raised there) go through a bounded lock-free queue
// that a writer thread of its own empties, in the order they were queued, so that a blocked
// stdout pipe never stalls an audio thread. Lines from other threads are written at once,
// after whatever the queue still holds, so the order of all lines is the order they were made.
// By default lines go to standard output, flushed each; a host may send them elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxlog {

enum class Target { StandardOutput, StandardError, Nowhere };

// Where lines go from now on. [main thread]
void setTarget(Target target);
// A function receiving every line (without its newline) instead of the target; null restores
// the target. Called on the thread that writes: the writer thread or a line() caller, one at
// a time. [main thread]
using Sink = void (*)(const char* line, void* context);
void setSink(Sink sink, void* context);

// Writes one line now, after the queued ones. [not the render thread; may block on the target]
void line(const char* text);

// Queues a line (cut at kMaxText - 1 bytes) for the writer thread. Never allocates, locks or
// waits; false when the queue is full (the line is dropped and counted). [render thread]
bool renderLine(const char* text);
// Queues a user alert (title, text, the default button) that the writer thread shows through
// alert::showAlert, in order with the lines. Same guarantees as renderLine. [render thread]
bool renderAlert(const char* title, const char* text, const char* button);

// Starts the writer thread if it is not running (allocates a thread once per process).
// [main thread]
void startWriter();
// Writes everything queued so far, on the calling thread. [not the render thread]
void flush();
// Entries dropped because the queue was full. [any thread]
uint64_t droppedEntries();

inline constexpr size_t kQueueSlots = 64;
inline constexpr size_t kMaxText = 512;

}  // namespace vxlog

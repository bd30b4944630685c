// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: the X11 connection of the application (Xlib), kept behind plain functions so that
// no other file includes the X headers (their macros clash with ordinary names). Every
// function runs on the display thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ui::x11 {

// Opens the display, installs the error handlers (errors are logged and counted, never fatal)
// and reads the resource database. Null with error when there is no display.
void* open(const char* name, std::string* error);
void close(void* display);
int connectionFd(void* display);
bool pending(void* display);
void flush(void* display);
// Dispatches every queued event to the windows; returns how many.
size_t dispatchPending(void* display);
// Xft.dpi from the resource database, 0 when absent.
double xftDpi(void* display);
// Modifier keys held now, as ModifierFlags.
uint32_t queryModifiers(void* display);

uint64_t errorCount();
uint64_t foreignThreadCalls();
void noteForeignThreadCall(const char* what);

}  // namespace ui::x11

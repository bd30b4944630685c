// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in editor bundle whose executable loads but exports no view factory.
extern "C" __attribute__((visibility("default"))) int VXTestEditorWithoutFactory() { return 1; }

// SPDX-License-Identifier: GPL-3.0-or-later
// A region of a source file whose functions are built for one instruction set, named as the
// target attribute names it ("avx", "avx2", "avx512f,avx512vl"):
//   TARNWICK_TARGET_BEGIN("avx2")
//   … functions …
//   TARNWICK_TARGET_END
// GCC takes a target region; clang applies the target attribute to each function in it.
#pragma once

#define TARNWICK_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define TARNWICK_TARGET_BEGIN(isa) \
  TARNWICK_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define TARNWICK_TARGET_END TARNWICK_PRAGMA(clang attribute pop)
#else
#define TARNWICK_TARGET_BEGIN(isa) TARNWICK_PRAGMA(GCC push_options) TARNWICK_PRAGMA(GCC target(isa))
#define TARNWICK_TARGET_END TARNWICK_PRAGMA(GCC pop_options)
#endif

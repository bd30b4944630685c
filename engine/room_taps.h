// SPDX-License-Identifier: GPL-3.0-or-later
// The room's tap weights and lattice couplings, included as text (no include guard) by room.cpp
// for its per-sample path and inside each lane kernel's namespace, so that every instruction set
// compiles the same formulas itself and no call passes a lane vector across instruction sets.

// NOLINTBEGIN: textual include, see above
// The wet sums of one sample (or of consecutive samples as lanes of V) from the taps' current
// slots, and the sixteen lattice couplings after them, in one pass that reads each tap slot
// once: load(line, tap) reads tap `tap` of line A (0) or B (1), store(line, tap, v) writes it
// back. The sums take the values from before the couplings. Each coupling joins a tap of one line
// with a tap of the other (x −= c·y, then y += c·x with the new x); no slot takes part in two, so
// their order is free, and they run here in the order the sums read their taps. All the slots in
// use are distinct (the layout guarantees it), so no coupling changes a slot another tap reads.
template <typename V, typename Load, typename Store>
__attribute__((always_inline)) inline void wetSumsAndCouplings(Load load, Store store, float c,
                                                               V& sumA, V& sumB) {
  constexpr int kA = 0;
  constexpr int kB = 1;
  // Couples tap x of line lx with tap y of the other line; vx and vy keep the values before.
  auto couple = [&](int lx, int x, int y, V& vx, V& vy) __attribute__((always_inline)) {
    vx = load(lx, x);
    vy = load(1 - lx, y);
    const V nx = vx - c * vy;
    store(lx, x, nx);
    store(1 - lx, y, vy + c * nx);
  };
  V a1, a3, a5, a7, a9, a11, a13, a15;
  V b0, b2, b4, b6, b8, b10, b12, b14;
  couple(kA, 3, 0, a3, b0);
  couple(kB, 2, 1, b2, a1);
  V sA = 0.1f * a3 + 0.025f * a1;
  V sB = 0.05f * b2 + 0.0125f * b0;
  couple(kA, 7, 4, a7, b4);
  couple(kB, 6, 5, b6, a5);
  sA = sA + 0.2f * a5 + 0.3f * a7;
  sB = sB + 0.15f * b4 + 0.25f * b6;
  couple(kA, 11, 8, a11, b8);
  couple(kB, 10, 9, b10, a9);
  sA = sA + 0.325f * load(kA, 8) + 0.375f * load(kA, 10) + 0.4f * a11 + 0.15f * load(kA, 12);
  sB = sB - 0.325f * b8 + 0.35f * load(kB, 9) + 0.4f * load(kB, 11);
  couple(kA, 15, 12, a15, b12);
  couple(kB, 14, 13, b14, a13);
  sA = sA + 0.2f * a13 + 0.25f * load(kA, 14) + 0.3f * a15 - 0.35f * a9;
  sB = sB + 0.15f * b12 + 0.2f * load(kB, 13) + 0.25f * b14 + 0.3f * load(kB, 15) - 0.375f * b10;
  // The tails: taps 16 … 31 of each line summed in order from zero.
  V a17, a19, a21, a22, a25, a26, a28, a30;
  V b16, b18, b20, b23, b24, b27, b29, b31;
  couple(kA, 19, 16, a19, b16);
  couple(kB, 18, 17, b18, a17);
  couple(kA, 21, 20, a21, b20);
  couple(kB, 23, 22, b23, a22);
  V tA{};
  V tB{};
  tA += load(kA, 16);
  tA += a17;
  tA += load(kA, 18);
  tA += a19;
  tA += load(kA, 20);
  tA += a21;
  tA += a22;
  tA += load(kA, 23);
  tB += b16;
  tB += load(kB, 17);
  tB += b18;
  tB += load(kB, 19);
  tB += b20;
  tB += load(kB, 21);
  tB += load(kB, 22);
  tB += b23;
  couple(kA, 25, 24, a25, b24);
  couple(kB, 27, 26, b27, a26);
  couple(kB, 29, 28, b29, a28);
  couple(kB, 31, 30, b31, a30);
  tA += load(kA, 24);
  tA += a25;
  tA += a26;
  tA += load(kA, 27);
  tA += a28;
  tA += load(kA, 29);
  tA += a30;
  tA += load(kA, 31);
  tB += b24;
  tB += load(kB, 25);
  tB += load(kB, 26);
  tB += b27;
  tB += load(kB, 28);
  tB += b29;
  tB += load(kB, 30);
  tB += b31;
  sumA = sA + 0.1f * tA;
  sumB = sB + 0.1f * tB;
}
// NOLINTEND

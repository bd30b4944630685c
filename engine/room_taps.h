// SPDX-License-Identifier: GPL-3.0-or-later
// The room's tap weights and lattice couplings, included as text (no include guard) by room.cpp
// for its per-sample path and inside each lane kernel's namespace, so that every instruction set
// compiles the same formulas itself and no call passes a lane vector across instruction sets.

// NOLINTBEGIN: textual include, see above
// The wet sums of one sample (or of kRoomLanes consecutive samples as lanes of V) from the taps'
// current slots; at(line, k) reads tap k of line A (0) or B (1).
template <typename V, typename At>
__attribute__((always_inline)) inline void wetSums(At at, V& sumA, V& sumB) {
  V tailA{};
  V tailB{};
  for (int k = 16; k < kRoomTapCount; ++k) {
    tailA += at(0, k);
    tailB += at(1, k);
  }
  sumA = 0.1f * at(0, 3) + 0.025f * at(0, 1) + 0.2f * at(0, 5) + 0.3f * at(0, 7) +
         0.325f * at(0, 8) + 0.375f * at(0, 10) + 0.4f * at(0, 11) + 0.15f * at(0, 12) +
         0.2f * at(0, 13) + 0.25f * at(0, 14) + 0.3f * at(0, 15) - 0.35f * at(0, 9) + 0.1f * tailA;
  sumB = 0.05f * at(1, 2) + 0.0125f * at(1, 0) + 0.15f * at(1, 4) + 0.25f * at(1, 6) -
         0.325f * at(1, 8) + 0.35f * at(1, 9) + 0.4f * at(1, 11) + 0.15f * at(1, 12) +
         0.2f * at(1, 13) + 0.25f * at(1, 14) + 0.3f * at(1, 15) - 0.375f * at(1, 10) +
         0.1f * tailB;
}

// The sixteen lattice couplings in order; couple(xInA, tapX, tapY) couples tap X of its line
// with tap Y of the other line.
template <typename Couple>
__attribute__((always_inline)) inline void couplings(Couple couple) {
  couple(true, 3, 0);
  couple(false, 2, 1);
  couple(true, 7, 4);
  couple(false, 6, 5);
  couple(true, 11, 8);
  couple(false, 10, 9);
  couple(true, 15, 12);
  couple(false, 14, 13);
  couple(true, 19, 16);
  couple(false, 18, 17);
  couple(true, 21, 20);
  couple(false, 23, 22);
  couple(true, 25, 24);
  couple(false, 27, 26);
  couple(false, 29, 28);
  couple(false, 31, 30);
}
// NOLINTEND

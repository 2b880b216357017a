// The rounding rules shared by integer! and float! round: which way a value that
// is not a multiple of the unit moves, by the refinements given.
//
// Both types reduce rounding to the distance down to the multiple below (towards
// zero) and the distance up to the one above; only how they get those distances and
// write the result back differs.
#pragma once

namespace zol::rounding {

enum class Mode { NEAREST, EVEN, DOWN, HALF_DOWN, FLOOR, CEILING, HALF_CEILING };

// The refinements are looked at in this order: /down, /floor, /ceiling, then the
// rules for an exact half: /even, /half-down, /half-ceiling.
inline Mode mode_of(bool even, bool down, bool half_down, bool floor, bool ceiling,
                    bool half_ceiling) {
  if (down) return Mode::DOWN;
  if (floor) return Mode::FLOOR;
  if (ceiling) return Mode::CEILING;
  if (even) return Mode::EVEN;
  if (half_down) return Mode::HALF_DOWN;
  if (half_ceiling) return Mode::HALF_CEILING;
  return Mode::NEAREST;
}

// True when the magnitude moves up to the next multiple, false when it drops to
// the one below. `below` and `above` are the two distances (equal means an exact
// half); `lower_even` tells whether the lower multiple is an even one.
template <class T>
bool away_from_zero(Mode mode, bool negative, T below, T above, bool lower_even) {
  switch (mode) {
    case Mode::DOWN: return false;
    case Mode::FLOOR: return negative;
    case Mode::CEILING: return !negative;
    default: break;
  }
  if (below != above) return below > above;
  switch (mode) {
    case Mode::EVEN: return !lower_even;
    case Mode::HALF_DOWN: return false;
    case Mode::HALF_CEILING: return !negative;
    default: return true;
  }
}

}  // namespace zol::rounding

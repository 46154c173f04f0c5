"""rescale=True of the interpolators, as scipy's: the points moved to their
mean and each axis divided by its range (1 where the range is 0), and the
queries moved and scaled alike.

An axis whose mean or range overflows (points near +-1.7e308) is first
scaled by a power of two that brings its largest magnitude below 1, which
is exact (values that become subnormal lose bits only far below the
rescaled coordinates' own precision); the mean and range are then taken
there. Other axes are computed exactly as without that step, so ordinary
answers do not change."""
from __future__ import annotations

import numpy as np


class Rescaling:
    """How one set of points is rescaled; ``apply`` maps coordinates."""

    def __init__(self, x: np.ndarray, y: np.ndarray):
        self.exponent = [0, 0]
        self.centre = np.zeros(2)
        self.spread = np.ones(2)
        if x.size == 0:
            return
        for axis, values in enumerate((x, y)):
            with np.errstate(over="ignore", invalid="ignore"):
                centre, spread = values.mean(), np.ptp(values)
            if not (np.isfinite(centre) and np.isfinite(spread)):
                self.exponent[axis] = int(np.frexp(np.max(np.abs(values)))[1])
                values = np.ldexp(values, -self.exponent[axis])
                centre, spread = values.mean(), np.ptp(values)
            self.centre[axis] = centre
            self.spread[axis] = spread if spread > 0 else 1.0

    @property
    def offset(self) -> np.ndarray:
        """The points' mean (per axis)."""
        return np.ldexp(self.centre, self.exponent)

    @property
    def scale(self) -> np.ndarray:
        """Each axis's range (1 where it is 0); inf where it overflows."""
        with np.errstate(over="ignore"):
            return np.ldexp(self.spread, self.exponent)

    def apply(self, qx: np.ndarray, qy: np.ndarray):
        """Coordinates moved and scaled as the points were."""
        out = []
        for axis, values in enumerate((qx, qy)):
            if self.exponent[axis]:
                values = np.ldexp(values, -self.exponent[axis])
            with np.errstate(over="ignore", invalid="ignore"):
                out.append((values - self.centre[axis]) / self.spread[axis])
        return out[0], out[1]

    @classmethod
    def of(cls, offset, scale) -> "Rescaling":
        """The rescaling of a given offset and scale (objects pickled
        before the power-of-two step kept only these)."""
        rescaling = cls.__new__(cls)
        rescaling.exponent = [0, 0]
        rescaling.centre = np.asarray(offset, dtype=np.float64)
        rescaling.spread = np.asarray(scale, dtype=np.float64)
        return rescaling

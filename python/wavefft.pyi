# SPDX-License-Identifier: GPL-3.0-or-later
# Type stubs of the Python module wavefft (a compiled extension).
import os
from typing import Any, Literal, Sequence, TypedDict, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
_Array = npt.NDArray[np.float64]
_Data = npt.ArrayLike  # anything numpy.asarray(x, dtype=float64) takes, of shape (3, n)
_Unit = Literal["g", "gal", "m_s2", "mm_s2"]

class _PeakRotD50(TypedDict):
    pga: float
    pgv: float
    pgd: float

class _Measures(TypedDict):
    pga: _Array
    pgv: _Array
    pgd: _Array
    arias: _Array
    cav: _Array
    d5_75: _Array
    d5_95: _Array
    rotd50: _PeakRotD50

class _Spectra(TypedDict, total=False):
    periods: _Array
    psa: _Array
    rotd50: _Array
    rotd100: _Array
    damping: _Array  # only when damping is a sequence

class _Fas(TypedDict):
    frequencies: _Array
    fas: _Array
    eas: _Array

class _Spectrum(TypedDict):
    frequency: _Array
    amplitude: _Array

class _Waveform(TypedDict):
    times: _Array
    data: _Array

class Record:
    """A three-component acceleration record: its words and data, shape (3, n)."""

    def __init__(
        self,
        data: _Data,
        dt: float,
        unit: str,
        event: str = "unknown",
        station: str = "unknown",
        titles: Sequence[str] | None = None,
    ) -> None: ...
    @property
    def event(self) -> str: ...
    @property
    def station(self) -> str: ...
    @property
    def unit(self) -> str: ...
    @property
    def dt(self) -> float: ...
    @property
    def titles(self) -> tuple[str, str, str]: ...
    @property
    def start(self) -> str | None: ...
    @property
    def notes(self) -> list[str]: ...
    @property
    def data(self) -> _Array: ...
    def write(self, path: _Path) -> None: ...

class Run:
    """What a run of the program wavefft gave."""

    # Read-only attributes, set by run().
    console: str
    errors: str
    status: int
    spectrum: _Spectrum | None
    waveform: _Waveform | None
    workdir: str | None

def read(
    *paths: _Path,
    unit: str | None = None,
    source_unit: str | None = None,
    pad: bool = False,
    zero_vertical: bool = False,
    channels: Sequence[str] | None = None,
    level: Literal["raw", "corrected"] | None = None,
) -> Record: ...
def read_record(path: _Path, unit: str | None = None) -> Record: ...
def measures(data: _Data, dt: float, unit: str) -> _Measures: ...
def spectra(
    data: _Data,
    dt: float,
    unit: str,
    periods: npt.ArrayLike | None = None,
    damping: float | Sequence[float] | npt.ArrayLike = 0.05,
) -> _Spectra: ...
def fas(
    data: _Data,
    dt: float,
    unit: str,
    frequencies: npt.ArrayLike | None = None,
    bandwidth: float = 188.5,
    window: Literal["main", "full"] = "main",
) -> _Fas: ...
def correct(
    data: _Data,
    dt: float,
    unit: str,
    highpass: float | Literal["auto"] = "auto",
    lowpass: float | Literal["auto", "none"] | None = "auto",
    order: int = 5,
    taper: float = 0.05,
    baseline: Literal["poly6", "none"] = "poly6",
    onset: float | Literal["auto"] = "auto",
    *,
    titles: Sequence[str] | None = None,
) -> tuple[_Array, dict[str, Any]]: ...
def run(record: _Path | Record, workdir: _Path | None = None, **options: Any) -> Run: ...

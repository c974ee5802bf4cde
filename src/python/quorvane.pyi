"""Section properties of beam cross-sections drawn as pictures.

The types of the module quorvane for type checkers and editors; the module's docstrings
(help(quorvane)) describe every call.
"""
import numbers
import os
from collections.abc import Callable
from typing import Any, Literal, SupportsIndex, TypeAlias, overload

import numpy as np
import numpy.typing as npt

__version__: str

# A file name as the module takes it (a path is converted as open() converts it).
_Path: TypeAlias = str | bytes | os.PathLike[str] | os.PathLike[bytes]
# A size in mm: a number of any integral or real type, or its text ("650", "0x1F", "300.25").
_Millimetres: TypeAlias = SupportsIndex | float | numbers.Real | str
# Pixels as rows of (red, green, blue), shape (height, width, 3).
_Pixels: TypeAlias = npt.NDArray[np.uint8]

class Error(Exception):
    """A refusal of the core, in the core's words."""

class Cancelled(Error):
    """An analysis stopped by its progress callback returning False."""

class Picture:
    """A picture: width x height pixels of 24-bit colour."""

    @staticmethod
    def from_array(rgb: _Pixels, name: str = "array") -> Picture: ...
    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    @property
    def name(self) -> str: ...
    def colours(self, all: bool = False) -> list[tuple[str, int, int, int, int]]: ...
    @property
    def smoothing_note(self) -> str | None: ...
    def to_array(self) -> _Pixels: ...

def read_picture(path: _Path) -> Picture: ...

class Material:
    """One material of a library."""

    @property
    def id(self) -> int: ...
    @property
    def label(self) -> str: ...
    @property
    def name(self) -> str: ...
    @property
    def e(self) -> float: ...
    @property
    def rho(self) -> float: ...
    @property
    def nu(self) -> float: ...
    @property
    def strength(self) -> tuple[float, float] | None: ...
    @property
    def law(self) -> str | None: ...

class Library:
    """A material library."""

    def __init__(self) -> None: ...
    @staticmethod
    def load(path: _Path) -> Library: ...
    @property
    def path(self) -> str | None: ...
    @property
    def materials(self) -> list[Material]: ...
    def __len__(self) -> int: ...
    def __getitem__(self, label: str) -> Material: ...

class Result:
    """An analysed section."""

    def to_dict(self) -> dict[str, Any]: ...
    def to_json(self) -> str: ...
    def report(self) -> str: ...
    def overlay(self) -> _Pixels: ...
    def resistance(self) -> dict[str, Any]: ...
    def stress_map(self, *, field: Literal["sigma", "tau", "von_mises"] = "von_mises") -> _Pixels: ...
    def save_report(self, path: _Path) -> None: ...

# The colours of the section, given by position after the sizes.
@overload
def analyse(
    picture: Picture,
    width_mm: _Millimetres | None,
    height_mm: _Millimetres | None,
    use: list[str] | tuple[str, ...],
    *,
    library: Library | None = None,
    materials: dict[str, tuple[str, float, float]] | None = None,
    convention: Literal[0, 1] = 0,
    eps: float = 1.0,
    torsion: bool = False,
    nu: dict[str, float] | None = None,
    fy: dict[str, float | tuple[float, float]] | None = None,
    actions: dict[str, float] | None = None,
    edges: Literal["flat", "coverage"] = "flat",
    laws: dict[str, str] | None = None,
    resistance: bool = False,
    interaction: bool | int = False,
    moment_curvature: bool = False,
    interaction_biaxial: int = 0,
    cracked: bool = False,
    progress: Callable[[str | float], bool | None] | None = None,
    pixel_size_mm: float | numbers.Real | str | None = None,
    max_cells: float | None = None,
    units: Literal["N-mm", "kN-m", "kN-cm"] = "N-mm",
) -> Result: ...

# The colours by keyword: with pixel_size_mm instead of the sizes, or for a drawing, which has
# its own size.
@overload
def analyse(
    picture: Picture,
    width_mm: _Millimetres | None = None,
    height_mm: _Millimetres | None = None,
    *,
    use: list[str] | tuple[str, ...],
    library: Library | None = None,
    materials: dict[str, tuple[str, float, float]] | None = None,
    convention: Literal[0, 1] = 0,
    eps: float = 1.0,
    torsion: bool = False,
    nu: dict[str, float] | None = None,
    fy: dict[str, float | tuple[float, float]] | None = None,
    actions: dict[str, float] | None = None,
    edges: Literal["flat", "coverage"] = "flat",
    laws: dict[str, str] | None = None,
    resistance: bool = False,
    interaction: bool | int = False,
    moment_curvature: bool = False,
    interaction_biaxial: int = 0,
    cracked: bool = False,
    progress: Callable[[str | float], bool | None] | None = None,
    pixel_size_mm: float | numbers.Real | str | None = None,
    max_cells: float | None = None,
    units: Literal["N-mm", "kN-m", "kN-cm"] = "N-mm",
) -> Result: ...

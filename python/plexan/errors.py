"""The exceptions of the Plexan library.

Every failure the library reports arrives as an exception of a class named
after the library's own (ValueError, SizeError, FileReadError, ...), all
derived from Error. Each carries the library's texts:

    what   the message ("File already exists")
    where  the signature of the function that raised it
    calls  the functions it passed through on its way up ("[1] ...")
    file   the file concerned, for file errors

Where a Python built-in exception means the same, the class derives from it
too (plexan.ValueError is a ValueError, plexan.FileError an OSError, ...),
so that generic handlers catch it.
"""

import builtins

__all__ = [
    "Error", "ValueError", "UsageError", "TypeError", "SizeError", "RangeError",
    "ProgramError", "MathError", "DepthError", "ColormapError", "FileError",
    "FileReadError", "FileWriteError", "FileFormatError", "Cancelled",
]


class Error(Exception):
    """A failure reported by the Plexan library."""

    def __init__(self, what="", where="", calls="", file=""):
        super().__init__(what)
        self.what = what
        self.where = where
        self.calls = calls
        self.file = file

    def __str__(self):
        text = f"{self.file}: {self.what}" if self.file else self.what
        return f"{text} (in {self.where})" if self.where else text

    def __reduce__(self):
        return (type(self), (self.what, self.where, self.calls, self.file))


class ValueError(Error, builtins.ValueError):
    """A value outside what an operation accepts."""


class UsageError(Error):
    """An operation called when it cannot be (a shallow vector resized, ...)."""


class TypeError(Error, builtins.TypeError):
    """An operation refused for an element type (real arithmetic on integers, ...)."""


class SizeError(Error, builtins.ValueError):
    """Operands of incompatible sizes."""


class RangeError(Error, builtins.IndexError):
    """An index outside its range."""


class ProgramError(Error):
    """A state the program should never reach."""


class MathError(Error, builtins.ArithmeticError):
    """A computation without a result (a singular matrix, ...)."""


class DepthError(Error):
    """An image of a depth an operation does not take."""


class ColormapError(Error):
    """Images whose colormaps differ."""


class FileError(Error, builtins.OSError):
    """A file that cannot be read or written."""


class FileReadError(FileError):
    """A file that cannot be read."""


class FileWriteError(FileError):
    """A file that cannot be written (or that exists and may not be replaced)."""


class FileFormatError(FileError):
    """A file whose contents are malformed."""


class Cancelled(Exception):
    """A computation stopped because it was asked to (its progress callback
    returned False, or Fusion.cancel() was called)."""

"""The plain Python types of sceneio: its load error and the tuples its functions return."""

from collections import namedtuple


class LoadError(OSError):
    """A scene's load stopped: a file was not named by the group file or could not be read.

    ``str(error)`` is the library's message; ``filename`` is the file that stopped the load
    (the group file when it names no data file of a kind); ``errno`` is why that file could
    not be opened, when that is why, else None.
    """

    def __str__(self):
        return self.strerror if self.strerror is not None else super().__str__()


class FileError(OSError):
    """A file other than the scene's own could not be written or read: an output whose folder
    is missing or that has no room, a model the importer refuses. ``str(error)`` is the
    library's message; ``filename`` is the file it is about. Nothing is left behind.
    """

    def __str__(self):
        return self.strerror if self.strerror is not None else super().__str__()


File = namedtuple("File", "path directory base_name extension read size")
File.__doc__ = """One of a scene's five files as the load saw it.

path and directory are as the file system sees them ('/' between folders), base_name and
extension as the group file named them; read is False for the file that stopped a load;
size is its length in bytes (0 when not read)."""

Files = namedtuple("Files", "group light camera material object")
Files.__doc__ = """A scene's five files, each a File or None when the load stopped before it."""

Finding = namedtuple("Finding", "file line column severity message")
Finding.__doc__ = """One finding of sceneio.check(): where (file, line and column from 1, column in
bytes), severity "error" or "warning", and the message."""

Report = namedtuple("Report", "warnings notes")
Report.__doc__ = """What a conversion wants its caller to know: warnings (what was left out, and why)
and notes, each a list of one-line str."""

"""The run-time of the korvexmodules package and its exception class."""

class Error(RuntimeError):
    """A korvex library function refused its input or failed a check.

    str(error) is the message followed by where the check stands."""

    message: str
    function: str
    file: str
    line: int

def loaded_modules() -> list[str]:
    """The names of the korvexmodules extension modules initialised so far, in order."""

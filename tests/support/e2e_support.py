"""Helpers of the end-to-end scripts: isolated user folders and small files."""
import os

DISPLAY_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")


def isolated_env(base, keep_display=True):
    """The environment of a run whose settings, caches and snapshots stay
    under base. Without keep_display the run sees no display at all."""
    env = {k: v for k, v in os.environ.items() if keep_display or k not in DISPLAY_VARIABLES}
    for name in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"):
        env[name] = os.path.join(base, name)
        os.makedirs(env[name], exist_ok=True)
    env["HOME"] = base
    return env


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()

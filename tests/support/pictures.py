"""Pixel access for end-to-end tests, through ImageMagick (no imaging module needed)."""

import functools
import os
import subprocess

FRAMES_DIR = os.path.join(os.environ.get("MOFURIN_SOURCE_DIR", ""), "resources", "frames")


@functools.lru_cache(maxsize=None)
def rgb_of_file(path):
    """(width, height, bytes) of a picture file, 8-bit RGB; read once per run."""
    size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True,
                          text=True, check=True).stdout.split()
    data = subprocess.run(["convert", path, "-background", "white", "-flatten", "-depth", "8",
                           "rgb:-"], capture_output=True, check=True).stdout
    return int(size[0]), int(size[1]), data


def frame_path(index, scale="1"):
    """The picture file of a frame; scale "1.25", "1.5" or "2" names its high-DPI rendering."""
    name = "rest" if index < 0 else "frame%d" % index
    suffix = "" if scale == "1" else "@%sx" % scale
    return os.path.join(FRAMES_DIR, name + suffix + ".png")


def opaque_pixels(index, scale="1"):
    """The set of (x, y) whose colour differs from pixel (0, 0): the frame's shape."""
    w, h, data = rgb_of_file(frame_path(index, scale))
    key = data[0:3]
    return {(x, y) for y in range(h) for x in range(w)
            if data[(y * w + x) * 3:(y * w + x) * 3 + 3] != key}


def screen_rgb(env, x, y, w, h):
    return subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                           "-depth", "8", "rgb:-"], env=env, capture_output=True, check=True,
                          timeout=30).stdout


def closest_frame(env, x, y, candidates=range(-1, 10)):
    """Which frame picture the kitten's window shows: the one whose non-background pixels match
    the screen best."""
    shot = screen_rgb(env, x, y, 100, 100)
    best, best_score = None, None
    for index in candidates:
        w, h, data = rgb_of_file(frame_path(index))
        key = data[0:3]
        score = 0
        for p in range(0, w * h * 3, 3):
            if data[p:p + 3] != key:
                score += sum(abs(a - b) for a, b in zip(data[p:p + 3], shot[p:p + 3]))
        if best_score is None or score < best_score:
            best, best_score = index, score
    return best


def canonical_frame(index):
    """The lowest frame number whose picture is identical to this one's (some idle poses
    repeat), so that sequences can be compared by what the screen can tell apart."""
    data = rgb_of_file(frame_path(index))[2]
    for other in range(0, 10):
        if rgb_of_file(frame_path(other))[2] == data:
            return other
    return index

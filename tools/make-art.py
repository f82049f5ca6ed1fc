#!/usr/bin/env python3
"""Writes the kitten's vector sources: resources/art/rest.svg, frame0.svg ... frame9.svg and
icon.svg. One parametric drawing gives every pose, so the character stays the same in all of
them: eyes open or closed, the head upright or tilted, a breath that lifts the body a little,
the tail's sway, and the meow (head raised, mouth open).

Colours: the background stays transparent (it is flattened onto pure white when rendered, and
white is the colour the window's shape cuts away); nothing inside the kitten is pure white, so
no holes appear in it. Run tools/render-art.sh afterwards to make the rasters.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "..", "resources", "art")

FUR = "#f3c78f"
FUR_DARK = "#d9955a"
STRIPE = "#c97c43"
CREAM = "#fff4e4"
LINE = "#6b4328"
PINK = "#f59aa6"
INNER_EAR = "#f7b3b8"
EYE = "#3b2618"
SHINE = "#fefefe"

# pose: eyes ("open", "closed"), tilt in degrees (+ = to the right), breath 0..1, tail sway
# in degrees, meow (head raised, mouth open)
POSES = {
    "rest": dict(eyes="open", tilt=0, breath=0.0, tail=0, meow=False),
    "frame1": dict(eyes="closed", tilt=0, breath=0.0, tail=0, meow=False),
    "frame2": dict(eyes="closed", tilt=9, breath=0.5, tail=4, meow=False),
    "frame3": dict(eyes="closed", tilt=0, breath=1.0, tail=8, meow=False),
    "frame4": dict(eyes="closed", tilt=9, breath=0.5, tail=4, meow=False),
    "frame5": dict(eyes="closed", tilt=0, breath=0.0, tail=0, meow=False),
    "frame6": dict(eyes="closed", tilt=0, breath=1.0, tail=-6, meow=False),
    "frame7": dict(eyes="closed", tilt=-9, breath=0.5, tail=-3, meow=False),
    "frame8": dict(eyes="closed", tilt=0, breath=0.5, tail=0, meow=False),
    "frame0": dict(eyes="closed", tilt=-9, breath=0.0, tail=0, meow=False),
    "frame9": dict(eyes="open", tilt=0, breath=1.0, tail=10, meow=True),
}


def tail(sway):
    return f"""
  <g transform="rotate({sway} 72 88)">
    <path d="M70 88 C 86 90, 94 80, 92 68 C 91 62, 93 58, 91 53" fill="none"
          stroke="{LINE}" stroke-width="9" stroke-linecap="round"/>
    <path d="M70 88 C 86 90, 94 80, 92 68 C 91 62, 93 58, 91 53" fill="none"
          stroke="{FUR}" stroke-width="5.6" stroke-linecap="round"/>
    <path d="M92 61 C 92.5 58, 92.4 56, 91 53" fill="none" stroke="{STRIPE}"
          stroke-width="5.6" stroke-linecap="round"/>
    <path d="M89.5 73 l 4 -1.5 M 84 84 l 3.2 3" stroke="{STRIPE}" stroke-width="2"
          stroke-linecap="round"/>
  </g>"""


def body(breath):
    lift = 1 + 0.025 * breath
    return f"""
  <g transform="translate(0 96) scale(1 {lift:.4f}) translate(0 -96)">
    <path d="M26 94 C 22 76, 30 58, 50 57 C 70 58, 78 76, 74 94 Z" fill="{FUR}"
          stroke="{LINE}" stroke-width="2" stroke-linejoin="round"/>
    <path d="M38 93 C 36 80, 41 68, 50 67 C 59 68, 64 80, 62 93 Z" fill="{CREAM}"/>
    <path d="M28.5 74 l 5 1.5 M 27 82 l 5 0.8 M 71.5 74 l -5 1.5 M 73 82 l -5 0.8"
          stroke="{STRIPE}" stroke-width="2" stroke-linecap="round"/>
  </g>
  <ellipse cx="40" cy="93" rx="8" ry="4.6" fill="{CREAM}" stroke="{LINE}" stroke-width="1.8"/>
  <ellipse cx="60" cy="93" rx="8" ry="4.6" fill="{CREAM}" stroke="{LINE}" stroke-width="1.8"/>
  <path d="M37.5 91.5 v 2.6 M 42.5 91.5 v 2.6 M 57.5 91.5 v 2.6 M 62.5 91.5 v 2.6"
        stroke="{LINE}" stroke-width="1" stroke-linecap="round" opacity="0.7"/>"""


def eyes(kind):
    if kind == "open":
        return f"""
    <ellipse cx="38" cy="42" rx="4.8" ry="5.8" fill="{EYE}"/>
    <ellipse cx="62" cy="42" rx="4.8" ry="5.8" fill="{EYE}"/>
    <circle cx="39.6" cy="39.6" r="1.9" fill="{SHINE}"/>
    <circle cx="63.6" cy="39.6" r="1.9" fill="{SHINE}"/>
    <circle cx="36.6" cy="44.6" r="0.9" fill="{SHINE}"/>
    <circle cx="60.6" cy="44.6" r="0.9" fill="{SHINE}"/>"""
    return f"""
    <path d="M32.5 42 Q 38 47.5, 43.5 42" fill="none" stroke="{EYE}" stroke-width="2.4"
          stroke-linecap="round"/>
    <path d="M56.5 42 Q 62 47.5, 67.5 42" fill="none" stroke="{EYE}" stroke-width="2.4"
          stroke-linecap="round"/>"""


def mouth(meow):
    if meow:
        return f"""
    <path d="M44.5 53.5 Q 50 67, 55.5 53.5 Q 50 56, 44.5 53.5 Z" fill="#8c2f3a"
          stroke="{LINE}" stroke-width="1.4" stroke-linejoin="round"/>
    <path d="M46.8 59 Q 50 63.8, 53.2 59 Q 50 57.6, 46.8 59 Z" fill="{PINK}"/>"""
    return f"""
    <path d="M45.5 52.4 Q 47.8 55.2, 50 52.6 Q 52.2 55.2, 54.5 52.4" fill="none"
          stroke="{LINE}" stroke-width="1.5" stroke-linecap="round"/>"""


def head(pose):
    raise_by = -4 if pose["meow"] else -1.2 * pose["breath"]
    tilt = pose["tilt"] - (4 if pose["meow"] else 0)
    return f"""
  <g transform="translate(0 {raise_by:.2f}) rotate({tilt} 50 60)">
    <path d="M22 36 L 21 9 L 43 21 Z" fill="{FUR}" stroke="{LINE}" stroke-width="2"
          stroke-linejoin="round"/>
    <path d="M78 36 L 79 9 L 57 21 Z" fill="{FUR}" stroke="{LINE}" stroke-width="2"
          stroke-linejoin="round"/>
    <path d="M25.5 29 L 25 15.5 L 36.5 22 Z" fill="{INNER_EAR}"/>
    <path d="M74.5 29 L 75 15.5 L 63.5 22 Z" fill="{INNER_EAR}"/>
    <ellipse cx="50" cy="42" rx="30.5" ry="24" fill="{FUR}" stroke="{LINE}" stroke-width="2"/>
    <path d="M50 18.5 v 7 M 43.5 19.5 l 1.6 6 M 56.5 19.5 l -1.6 6" stroke="{STRIPE}"
          stroke-width="2.4" stroke-linecap="round"/>
    <path d="M20.5 40 l 6 1 M 79.5 40 l -6 1" stroke="{STRIPE}" stroke-width="2.2"
          stroke-linecap="round"/>
    <ellipse cx="50" cy="54" rx="13" ry="9" fill="{CREAM}"/>
    <ellipse cx="29" cy="51.5" rx="5.2" ry="3.2" fill="{PINK}" opacity="0.55"/>
    <ellipse cx="71" cy="51.5" rx="5.2" ry="3.2" fill="{PINK}" opacity="0.55"/>
    {eyes(pose["eyes"])}
    <path d="M47.2 48.6 H 52.8 L 50 51.8 Z" fill="{PINK}" stroke="{LINE}" stroke-width="1"
          stroke-linejoin="round"/>
    {mouth(pose["meow"])}
    <path d="M34 52 L 24 50.5 M 34 55 L 24.5 56.5 M 66 52 L 76 50.5 M 66 55 L 75.5 56.5"
          stroke="{LINE}" stroke-width="0.9" stroke-linecap="round" opacity="0.75"/>
  </g>"""


def kitten(pose):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100" '
            f'viewBox="0 0 100 100">'
            f'{tail(pose["tail"])}{body(pose["breath"])}{head(pose)}\n</svg>\n')


def icon():
    # The kitten peeking out of its basket, drawn on a 64 x 64 grid and rendered at 32 x 32.
    pose = dict(eyes="open", tilt=0, breath=0.0, tail=0, meow=False)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 64 64">'
            f'<g transform="translate(4 -4) scale(0.56)">{head(pose)}</g>'
            f'<path d="M6 34 H 58 L 52 60 H 12 Z" fill="#c98b4a" stroke="{LINE}" stroke-width="2.2"'
            f' stroke-linejoin="round"/>'
            f'<path d="M8.5 42 H 55.5 M 10.5 50 H 53.5 M 20 34 L 22 60 M 32 34 V 60 M 44 34 L 42 60"'
            f' stroke="#8a5a2b" stroke-width="1.6"/>'
            f'<rect x="4" y="31" width="56" height="6" rx="3" fill="#e0a662" stroke="{LINE}"'
            f' stroke-width="2"/>'
            f'</svg>\n')


def main():
    os.makedirs(ART, exist_ok=True)
    for name, pose in POSES.items():
        with open(os.path.join(ART, name + ".svg"), "w") as f:
            f.write(kitten(pose))
    with open(os.path.join(ART, "icon.svg"), "w") as f:
        f.write(icon())


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the kitten's vector sources: resources/art/rest.svg, frame0.svg ... frame9.svg and
icon.svg. One parametric drawing gives every pose, so the character stays the same in all of
them: eyes open or closed, the head upright or tilted, a breath that lifts the body a little,
the tail's sway, an ear's twitch, and the meow (head and chin raised, mouth open). The icon,
the kitten in its basket, is drawn on its own 32 x 32 grid.

Colours: the background stays transparent (it is flattened onto pure white when rendered, and
white is the colour the window's shape cuts away); nothing inside the kitten is pure white, so
no holes appear in it. Run tools/render-art.sh afterwards to make the rasters.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "..", "resources", "art")

FUR = "#f3c78f"
STRIPE = "#c97c43"
CREAM = "#fff4e4"
LINE = "#6b4328"
PINK = "#f59aa6"
INNER_EAR = "#f7b3b8"
EYE = "#3b2618"
SHINE = "#fefefe"

NOTE = "Written by tools/make-art.py; change the drawing there, then run tools/render-art.sh."

# pose: eyes ("open", "closed"); tilt of the head in degrees (+ = towards the viewer's right);
# breath 0..1 (the body rises a little and the head with it); tail sway in degrees; ear twitch
# in degrees for the left and right ear (as seen by the viewer); meow (head raised, mouth open).
# The idle cycle shows 1, 2, ..., 7, one frame every two seconds, so neighbours differ gently.
POSES = {
    "rest": dict(eyes="open", tilt=0, breath=0.0, tail=0, ears=(0, 0), meow=False),
    "frame1": dict(eyes="closed", tilt=0, breath=0.0, tail=0, ears=(0, 0), meow=False),
    "frame2": dict(eyes="closed", tilt=7, breath=0.5, tail=2, ears=(0, 0), meow=False),
    "frame3": dict(eyes="closed", tilt=0, breath=1.0, tail=4, ears=(0, -6), meow=False),
    "frame4": dict(eyes="closed", tilt=7, breath=0.5, tail=2, ears=(0, 0), meow=False),
    "frame5": dict(eyes="closed", tilt=0, breath=0.0, tail=0, ears=(5, 0), meow=False),
    "frame6": dict(eyes="closed", tilt=0, breath=1.0, tail=1, ears=(0, 0), meow=False),
    "frame7": dict(eyes="closed", tilt=-7, breath=0.5, tail=-1, ears=(0, 0), meow=False),
    "frame8": dict(eyes="closed", tilt=0, breath=0.5, tail=1, ears=(0, 0), meow=False),
    "frame0": dict(eyes="closed", tilt=-7, breath=0.0, tail=0, ears=(0, 0), meow=False),
    "frame9": dict(eyes="open", tilt=0, breath=1.0, tail=5, ears=(-4, 4), meow=True),
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


# The head's outline: round on top, with soft tufts of fluff at the cheeks ("mofu").
HEAD = ("M50 18 C 67.5 18, 80.5 28.5, 80.5 41.5 C 80.5 45, 80 47.5, 79 49.5 "
        "Q 82.2 51, 82.9 52.6 Q 80.4 53.6, 79.2 54.8 Q 81.4 56.8, 81.2 58.4 "
        "Q 78 58.6, 75.6 59.2 C 69 64.6, 60 66.4, 50 66.4 C 40 66.4, 31 64.6, 24.4 59.2 "
        "Q 22 58.6, 18.8 58.4 Q 18.6 56.8, 20.8 54.8 Q 19.6 53.6, 17.1 52.6 "
        "Q 17.8 51, 21 49.5 C 20 47.5, 19.5 45, 19.5 41.5 C 19.5 28.5, 32.5 18, 50 18 Z")


def ear(side, twitch):
    # side -1 = the viewer's left ear, +1 = the right one; a twitch turns it about its base.
    cx = 50 + side * 22
    outer = f"M{50 + side * 28} 36 L {50 + side * 29} 9 L {50 + side * 7} 21 Z"
    inner = f"M{50 + side * 24.5} 29 L {50 + side * 25} 15.5 L {50 + side * 13.5} 22 Z"
    return f"""
    <g transform="rotate({twitch} {cx} 30)">
      <path d="{outer}" fill="{FUR}" stroke="{LINE}" stroke-width="2" stroke-linejoin="round"/>
      <path d="{inner}" fill="{INNER_EAR}"/>
    </g>"""


def head(pose):
    # Breathing lifts the head with the body; the meow raises it well up.
    raise_by = -5 if pose["meow"] else -1.2 * pose["breath"]
    left, right = pose["ears"]
    # Meowing, the kitten lifts its chin: the face moves up inside the round head.
    face_up = -1.5 if pose["meow"] else 0
    return f"""
  <g transform="translate(0 {raise_by:.2f}) rotate({pose["tilt"]} 50 62)">
    {ear(-1, left)}{ear(1, right)}
    <path d="{HEAD}" fill="{FUR}" stroke="{LINE}" stroke-width="2" stroke-linejoin="round"/>
    <path d="M50 18.5 v 7 M 43.5 19.5 l 1.6 6 M 56.5 19.5 l -1.6 6" stroke="{STRIPE}"
          stroke-width="2.4" stroke-linecap="round"/>
    <path d="M20.5 40 l 6 1 M 79.5 40 l -6 1 M 21.5 45 l 4.5 0.6 M 78.5 45 l -4.5 0.6"
          stroke="{STRIPE}" stroke-width="2" stroke-linecap="round"/>
    <g transform="translate(0 {face_up})">
    <ellipse cx="50" cy="54.5" rx="13.5" ry="9.4" fill="{CREAM}"/>
    <ellipse cx="29" cy="51.5" rx="5.4" ry="3.3" fill="{PINK}" opacity="0.6"/>
    <ellipse cx="71" cy="51.5" rx="5.4" ry="3.3" fill="{PINK}" opacity="0.6"/>
    {eyes(pose["eyes"])}
    <path d="M47.2 48.6 H 52.8 L 50 51.8 Z" fill="{PINK}" stroke="{LINE}" stroke-width="1"
          stroke-linejoin="round"/>
    {mouth(pose["meow"])}
    <path d="M34 52 L 24 50.5 M 34 55 L 24.5 56.5 M 66 52 L 76 50.5 M 66 55 L 75.5 56.5"
          stroke="{LINE}" stroke-width="0.9" stroke-linecap="round" opacity="0.75"/>
    </g>
  </g>"""


def kitten(pose):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100" '
            f'viewBox="0 0 100 100">'
            f'\n  <!-- {NOTE} -->'
            f'{tail(pose["tail"])}{body(pose["breath"])}{head(pose)}\n</svg>\n')


def icon():
    # The kitten peeking out of its basket with its paws on the rim. Drawn on the icon's own
    # 32 x 32 grid with lines a pixel wide, so it stays clear at its real size.
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <!-- {NOTE} -->
  <path d="M4.5 19 C 4.5 3.5, 27.5 3.5, 27.5 19" fill="none" stroke="{LINE}" stroke-width="2.6"
        stroke-linecap="round"/>
  <path d="M4.5 19 C 4.5 3.5, 27.5 3.5, 27.5 19" fill="none" stroke="#e0a662" stroke-width="1.2"
        stroke-linecap="round"/>
  <path d="M7 13 L 7.2 3.6 L 13.5 7.4 Z" fill="{FUR}" stroke="{LINE}" stroke-width="1.1"
        stroke-linejoin="round"/>
  <path d="M25 13 L 24.8 3.6 L 18.5 7.4 Z" fill="{FUR}" stroke="{LINE}" stroke-width="1.1"
        stroke-linejoin="round"/>
  <path d="M8.4 9.6 L 8.5 5.8 L 11.2 7.6 Z M 23.6 9.6 L 23.5 5.8 L 20.8 7.6 Z"
        fill="{INNER_EAR}"/>
  <ellipse cx="16" cy="13.2" rx="9.6" ry="7.6" fill="{FUR}" stroke="{LINE}" stroke-width="1.1"/>
  <path d="M16 6.2 v 2.2 M 13.6 6.6 l 0.5 1.9 M 18.4 6.6 l -0.5 1.9" stroke="{STRIPE}"
        stroke-width="1" stroke-linecap="round"/>
  <ellipse cx="16" cy="17" rx="4.4" ry="2.8" fill="{CREAM}"/>
  <ellipse cx="9.6" cy="16.2" rx="1.8" ry="1.1" fill="{PINK}" opacity="0.7"/>
  <ellipse cx="22.4" cy="16.2" rx="1.8" ry="1.1" fill="{PINK}" opacity="0.7"/>
  <circle cx="12.2" cy="13" r="1.6" fill="{EYE}"/>
  <circle cx="19.8" cy="13" r="1.6" fill="{EYE}"/>
  <circle cx="12.7" cy="12.4" r="0.55" fill="{SHINE}"/>
  <circle cx="20.3" cy="12.4" r="0.55" fill="{SHINE}"/>
  <path d="M15 15.4 H 17 L 16 16.5 Z" fill="{PINK}" stroke="{LINE}" stroke-width="0.5"
        stroke-linejoin="round"/>
  <path d="M5 21.5 H 27 L 24.6 30.2 H 7.4 Z" fill="#c98b4a" stroke="{LINE}" stroke-width="1.1"
        stroke-linejoin="round"/>
  <path d="M6 24.6 H 26 M 6.9 27.6 H 25.1 M 11.2 21.5 L 11.8 30 M 16 21.5 V 30 M 20.8 21.5 L 20.2 30"
        stroke="#8a5a2b" stroke-width="0.9"/>
  <rect x="3" y="19" width="26" height="3.4" rx="1.7" fill="#e0a662" stroke="{LINE}"
        stroke-width="1.1"/>
  <ellipse cx="11.6" cy="19.4" rx="2.4" ry="1.5" fill="{CREAM}" stroke="{LINE}" stroke-width="0.9"/>
  <ellipse cx="20.4" cy="19.4" rx="2.4" ry="1.5" fill="{CREAM}" stroke="{LINE}" stroke-width="0.9"/>
</svg>
"""


def main():
    os.makedirs(ART, exist_ok=True)
    for name, pose in POSES.items():
        with open(os.path.join(ART, name + ".svg"), "w") as f:
            f.write(kitten(pose))
    with open(os.path.join(ART, "icon.svg"), "w") as f:
        f.write(icon())


if __name__ == "__main__":
    main()

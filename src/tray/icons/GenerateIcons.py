#!/usr/bin/env python3
"""Writes the tray, menu and program pictures of Talvoro as SVG files.

The SVG files next to this script are the pictures the program compiles in; this
script is how they were drawn. Run it from this folder after changing a shape:

    python3 GenerateIcons.py

Each state picture has two drawings: one on a 32-unit grid for 32 px and more,
and a simpler one on a 16-unit grid for small trays, so that both stay crisp.
"""

import math

GREY_FILL = "#a3a9b1"
GREY_LIGHT = "#c9cdd3"
OUTLINE = "#353a41"
HUB_FILL = "#e4e6e9"


def gear_path(cx, cy, r_tip, r_root, teeth, rotation_deg, tip_frac=0.40, root_frac=0.55):
    """A gear outline: `teeth` trapezoid teeth between the root and tip circles."""
    step = 2 * math.pi / teeth
    rot = math.radians(rotation_deg) - math.pi / 2
    half_tip = step * tip_frac / 2
    half_root = step * root_frac / 2
    parts = []

    def pt(r, a):
        return f"{cx + r * math.cos(a):.3f},{cy + r * math.sin(a):.3f}"

    for i in range(teeth):
        a = rot + i * step
        start = pt(r_root, a - half_root)
        if i == 0:
            parts.append(f"M{start}")
        else:
            parts.append(f"A{r_root},{r_root} 0 0 1 {start}")
        parts.append(f"L{pt(r_tip, a - half_tip)}")
        parts.append(f"A{r_tip},{r_tip} 0 0 1 {pt(r_tip, a + half_tip)}")
        parts.append(f"L{pt(r_root, a + half_root)}")
    first = pt(r_root, rot - half_root)
    parts.append(f"A{r_root},{r_root} 0 0 1 {first}Z")
    return " ".join(parts)


def svg(size_w, size_h, body, view=None):
    view = view or f"0 0 {size_w} {size_h}"
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{size_w}" height="{size_h}" '
        f'viewBox="{view}">\n{body}</svg>\n'
    )


def gear32(rotation=0.0, hub_fill=HUB_FILL, hub_stroke=OUTLINE, hub_r=6.0, fill=GREY_FILL):
    d = gear_path(16, 16, 15.2, 11.6, 8, rotation)
    return (
        f'  <path d="{d}" fill="{fill}" stroke="{OUTLINE}" stroke-width="1.4" '
        f'stroke-linejoin="round"/>\n'
        f'  <circle cx="16" cy="16" r="9.2" fill="none" stroke="{GREY_LIGHT}" stroke-width="1.2"/>\n'
        f'  <circle cx="16" cy="16" r="{hub_r}" fill="{hub_fill}" stroke="{hub_stroke}" '
        f'stroke-width="1.4"/>\n'
    )


def gear16(rotation=0.0, hub_fill=HUB_FILL, hub_stroke=OUTLINE, hub_r=3.0, fill=GREY_FILL):
    d = gear_path(8, 8, 7.6, 5.6, 6, rotation, tip_frac=0.42, root_frac=0.6)
    return (
        f'  <path d="{d}" fill="{fill}" stroke="{OUTLINE}" stroke-width="1" '
        f'stroke-linejoin="round"/>\n'
        f'  <circle cx="8" cy="8" r="{hub_r}" fill="{hub_fill}" stroke="{hub_stroke}" '
        f'stroke-width="1"/>\n'
    )


GREEN = ("#35c24b", "#17692a")
RED = ("#ec3a2f", "#7d120c")
YELLOW = "#ffd11a"


def cross(size, inset, width):
    a, b = inset, size - inset
    return (
        f'  <g stroke-linecap="round">\n'
        f'    <path d="M{a},{a} L{b},{b} M{b},{a} L{a},{b}" stroke="#ffffff" '
        f'stroke-width="{width + 2.4 * size / 32}"/>\n'
        f'    <path d="M{a},{a} L{b},{b} M{b},{a} L{a},{b}" stroke="#000000" '
        f'stroke-width="{width}"/>\n'
        f"  </g>\n"
    )


def envelope(x, y, w, h, stroke_w, flap_depth):
    x2, y2 = x + w, y + h
    mx = x + w / 2
    return (
        f'  <rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{stroke_w}" fill="#ffffff" '
        f'stroke="{OUTLINE}" stroke-width="{stroke_w}" stroke-linejoin="round"/>\n'
        f'  <path d="M{x + stroke_w / 2},{y + stroke_w / 2} L{mx},{y + flap_depth} '
        f'L{x2 - stroke_w / 2},{y + stroke_w / 2}" fill="none" stroke="{OUTLINE}" '
        f'stroke-width="{stroke_w}" stroke-linejoin="round"/>\n'
    )


def letter_z(points, stroke_w):
    d = "M" + " L".join(f"{px},{py}" for px, py in points) + "Z"
    return (
        f'  <path d="{d}" fill="{YELLOW}" stroke="#4a3b00" stroke-width="{stroke_w}" '
        f'stroke-linejoin="round"/>\n'
    )


Z32 = [(8.5, 6.5), (23.5, 6.5), (23.5, 10.5), (14.5, 21.5), (23.5, 21.5), (23.5, 25.5),
       (8.5, 25.5), (8.5, 21.5), (17.5, 10.5), (8.5, 10.5)]
Z16 = [(3.5, 2.5), (12.5, 2.5), (12.5, 5), (7, 11), (12.5, 11), (12.5, 13.5),
       (3.5, 13.5), (3.5, 11), (9, 5), (3.5, 5)]


def states():
    s = {}
    s[0] = (gear32(), gear16())
    s[1] = (gear32() + cross(32, 5, 4.2), gear16() + cross(16, 2.5, 2.4))
    s[2] = (
        gear32() + envelope(1.5, 12.5, 25, 17, 1.4, 9.5),
        gear16() + envelope(0.5, 6.5, 13, 9, 1, 5),
    )
    s[3] = (gear32() + letter_z(Z32, 1.4), gear16() + letter_z(Z16, 1))
    s[4] = (
        gear32(hub_fill=GREEN[0], hub_stroke=GREEN[1], hub_r=7.4),
        gear16(hub_fill=GREEN[0], hub_stroke=GREEN[1], hub_r=3.9),
    )
    s[5] = (
        gear32(hub_fill=RED[0], hub_stroke=RED[1], hub_r=7.4),
        gear16(hub_fill=RED[0], hub_stroke=RED[1], hub_r=3.9),
    )
    return s


def menu_pictures():
    """16x16 pictures for the menus, the toolbar and the actions."""
    m = {}
    closed_env = envelope(1.5, 3.5, 13, 9, 1, 5.5)
    m[0] = (  # open envelope: the flap folded up behind a letter corner
        '  <path d="M1.5,7.5 L8,2.5 L14.5,7.5" fill="#f1f1f1" stroke="#353a41" stroke-width="1" '
        'stroke-linejoin="round"/>\n'
        '  <rect x="1.5" y="7.5" width="13" height="7" fill="#ffffff" stroke="#353a41" '
        'stroke-width="1" stroke-linejoin="round"/>\n'
        '  <path d="M1.5,7.5 L8,11.5 L14.5,7.5" fill="none" stroke="#353a41" stroke-width="1" '
        'stroke-linejoin="round"/>\n'
    )
    m[1] = closed_env
    m[2] = (  # envelope with lines of text: a letter standing out of it
        '  <rect x="3.5" y="0.5" width="9" height="10" fill="#ffffff" stroke="#353a41" '
        'stroke-width="1"/>\n'
        '  <path d="M5,3 H11 M5,5 H11 M5,7 H9" stroke="#2c5fb8" stroke-width="1"/>\n'
        '  <rect x="0.5" y="7.5" width="15" height="8" fill="#fff6d8" stroke="#353a41" '
        'stroke-width="1" stroke-linejoin="round"/>\n'
        '  <path d="M0.5,7.5 L8,12.5 L15.5,7.5" fill="none" stroke="#353a41" stroke-width="1" '
        'stroke-linejoin="round"/>\n'
    )
    m[3] = (  # clock
        '  <circle cx="8" cy="8" r="6.5" fill="#ffffff" stroke="#353a41" stroke-width="1.2"/>\n'
        '  <path d="M8,4 V8 H11" fill="none" stroke="#000000" stroke-width="1.4" '
        'stroke-linecap="round"/>\n'
    )
    m[4] = gear16()
    m[5] = (  # black X
        '  <path d="M3,3 L13,13 M13,3 L3,13" stroke="#000000" stroke-width="2.6" '
        'stroke-linecap="round"/>\n'
    )
    m[6] = (  # question mark
        '  <path d="M4.9,5.2 A3.2,3.2 0 1 1 10.3,7.5 C8.6,8.7 8.1,9.3 8.1,11" fill="none" '
        'stroke="#1d4fa8" stroke-width="2.3" stroke-linecap="round" stroke-linejoin="round"/>\n'
        '  <circle cx="8.1" cy="14.1" r="1.45" fill="#1d4fa8"/>\n'
    )
    m[7] = (  # page with two turning arrows
        '  <path d="M2.5,0.5 H10 L13.5,4 V15.5 H2.5 Z" fill="#ffffff" stroke="#353a41" '
        'stroke-width="1" stroke-linejoin="round"/>\n'
        '  <path d="M10,0.5 V4 H13.5" fill="none" stroke="#353a41" stroke-width="1"/>\n'
        '  <path d="M5,8.6 A3.2,3.2 0 0 1 10.6,7" fill="none" stroke="#1f8a2e" '
        'stroke-width="1.4"/>\n'
        '  <path d="M11.8,5.4 L11.4,8.4 L8.8,7.2 Z" fill="#1f8a2e"/>\n'
        '  <path d="M11,10.4 A3.2,3.2 0 0 1 5.4,12" fill="none" stroke="#1f8a2e" '
        'stroke-width="1.4"/>\n'
        '  <path d="M4.2,13.6 L4.6,10.6 L7.2,11.8 Z" fill="#1f8a2e"/>\n'
    )
    m[8] = (  # red round sign with a white X
        '  <circle cx="8" cy="8" r="7.2" fill="#e0261c" stroke="#7d120c" stroke-width="1"/>\n'
        '  <path d="M5.2,5.2 L10.8,10.8 M10.8,5.2 L5.2,10.8" stroke="#ffffff" '
        'stroke-width="2" stroke-linecap="round"/>\n'
    )
    m[9] = (  # black letter E
        '  <path d="M3.5,1.5 H12.5 V4.2 H6.6 V6.7 H11.5 V9.3 H6.6 V11.8 H12.5 V14.5 H3.5 Z" '
        'fill="#000000"/>\n'
    )
    m[10] = (  # information
        '  <circle cx="8" cy="8" r="7" fill="#2c6fd1" stroke="#173f7a" stroke-width="1"/>\n'
        '  <circle cx="8" cy="4.6" r="1.3" fill="#ffffff"/>\n'
        '  <path d="M8,7.2 V12" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round"/>\n'
    )
    m[11] = (  # loudspeaker
        '  <path d="M1.5,5.5 H4.5 L8.5,2 V14 L4.5,10.5 H1.5 Z" fill="#4a4f57" stroke="#1f2226" '
        'stroke-width="1" stroke-linejoin="round"/>\n'
        '  <path d="M10.6,5.6 A3.4,3.4 0 0 1 10.6,10.4 M12.4,3.4 A6.2,6.2 0 0 1 12.4,12.6" '
        'fill="none" stroke="#1f2226" stroke-width="1.3" stroke-linecap="round"/>\n'
    )
    return m


def clock_face(cx, cy, r, hand_w):
    # A flat face: a gradient fill makes Qt's raster engine hand the fill to
    # worker threads, for no visible gain at these sizes.
    ticks = []
    for i in range(12):
        a = math.radians(i * 30)
        inner = r * (0.78 if i % 3 == 0 else 0.86)
        ticks.append(
            f"M{cx + inner * math.sin(a):.2f},{cy - inner * math.cos(a):.2f} "
            f"L{cx + r * 0.94 * math.sin(a):.2f},{cy - r * 0.94 * math.cos(a):.2f}"
        )
    return (
        f'  <circle cx="{cx}" cy="{cy}" r="{r}" fill="#f4f6f9" stroke="#2b3440" '
        f'stroke-width="{hand_w * 0.8}"/>\n'
        f'  <path d="{" ".join(ticks)}" stroke="#2b3440" stroke-width="{hand_w * 0.5}" '
        f'stroke-linecap="round"/>\n'
        f'  <path d="M{cx},{cy} L{cx},{cy - r * 0.55} M{cx},{cy} L{cx + r * 0.42},{cy + r * 0.16}" '
        f'stroke="#1b2028" stroke-width="{hand_w}" stroke-linecap="round"/>\n'
        f'  <circle cx="{cx}" cy="{cy}" r="{hand_w * 0.9}" fill="#c0392b"/>\n'
    )


def logo():
    """112 x 119: a talking clock with a speech balloon and a letter."""
    body = ""
    # speech balloon behind the clock, upper right
    body += (
        '  <path d="M62,4 H104 A6,6 0 0 1 110,10 V34 A6,6 0 0 1 104,40 H84 L74,50 L76,40 H62 '
        'A6,6 0 0 1 56,34 V10 A6,6 0 0 1 62,4 Z" fill="#fff6c8" stroke="#7a6a1a" '
        'stroke-width="2" stroke-linejoin="round"/>\n'
        '  <path d="M64,14 H102 M64,22 H100 M64,30 H88" stroke="#7a6a1a" stroke-width="2.6" '
        'stroke-linecap="round"/>\n'
    )
    body += clock_face(48, 66, 42, 5)
    # a letter in front, lower right
    body += (
        '  <g transform="rotate(-8 86 98)">\n'
        '    <rect x="62" y="84" width="46" height="30" rx="2" fill="#ffffff" stroke="#353a41" '
        'stroke-width="2.2" stroke-linejoin="round"/>\n'
        '    <path d="M63.5,85.5 L85,101 L106.5,85.5" fill="none" stroke="#353a41" '
        'stroke-width="2.2" stroke-linejoin="round"/>\n'
        "  </g>\n"
    )
    return svg(112, 119, body)


def app_icon():
    body = clock_face(14.5, 15.5, 13, 2.2)
    body += (
        '  <rect x="15.5" y="19.5" width="15.5" height="11" rx="1" fill="#ffffff" stroke="#353a41" '
        'stroke-width="1.2" stroke-linejoin="round"/>\n'
        '  <path d="M16.2,20.2 L23.25,25.5 L30.3,20.2" fill="none" stroke="#353a41" '
        'stroke-width="1.2" stroke-linejoin="round"/>\n'
    )
    return svg(32, 32, body)


def app_icon_small():
    body = (
        '  <circle cx="7.5" cy="7.5" r="6.8" fill="#f4f6f9" stroke="#2b3440" stroke-width="1.2"/>\n'
        '  <path d="M7.5,7.5 V3.2 M7.5,7.5 L10.2,8.6" stroke="#1b2028" stroke-width="1.4" '
        'stroke-linecap="round"/>\n'
        '  <rect x="8.5" y="10.5" width="7" height="5" fill="#ffffff" stroke="#353a41" '
        'stroke-width="1"/>\n'
        '  <path d="M8.5,10.5 L12,13 L15.5,10.5" fill="none" stroke="#353a41" stroke-width="1"/>\n'
    )
    return svg(16, 16, body)


def main():
    for index, (big, small) in states().items():
        with open(f"state{index}.svg", "w") as f:
            f.write(svg(32, 32, big))
        with open(f"state{index}-16.svg", "w") as f:
            f.write(svg(16, 16, small))
    for frame in range(4):
        rotation = frame * (360 / 8) / 4  # a quarter tooth per frame
        rotation16 = frame * (360 / 6) / 4
        with open(f"frame{frame}.svg", "w") as f:
            f.write(svg(32, 32, gear32(rotation)))
        with open(f"frame{frame}-16.svg", "w") as f:
            f.write(svg(16, 16, gear16(rotation16)))
    for index, body in menu_pictures().items():
        with open(f"menu{index}.svg", "w") as f:
            f.write(svg(16, 16, body))
    with open("logo.svg", "w") as f:
        f.write(logo())
    with open("app.svg", "w") as f:
        f.write(app_icon())
    with open("app-16.svg", "w") as f:
        f.write(app_icon_small())


if __name__ == "__main__":
    main()

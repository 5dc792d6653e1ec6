#!/usr/bin/python3
"""Draws the frame picture, the frame's button pictures, the login dialog's edge lines and the
program icon into res/art/. The outputs are committed, so building needs neither this script nor
its fonts. Needs Debian's python3-pil and fonts-wqy-microhei."""

import math
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "art")
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
W, H = 1155, 625

GOLD_DARK = (110, 72, 24)
GOLD = (196, 150, 62)
GOLD_LIGHT = (246, 214, 130)
CONTENT = (24, 17, 12)


def font(size):
    return ImageFont.truetype(CJK_FONT, size)


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGBA", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(h - 1, 1)
        c = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
        d.line([(0, y), (w, y)], fill=c + (255,))
    return img


def soft_mask(size, draw_fn, blur):
    mask = Image.new("L", size, 0)
    draw_fn(ImageDraw.Draw(mask))
    return mask.filter(ImageFilter.GaussianBlur(blur)) if blur else mask


def frame_picture():
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))

    # Left: an emblem standing for the character illustration, with the game's lettering.
    glow = soft_mask((W, H), lambda d: d.ellipse((30, 70, 470, 600), fill=200), 28)
    halo = vertical_gradient((W, H), (120, 40, 20), (30, 10, 40))
    img = Image.composite(halo, img, glow)
    d = ImageDraw.Draw(img)
    for r, c in ((190, GOLD_DARK), (182, GOLD), (176, (60, 22, 18)), (150, (90, 30, 24))):
        d.ellipse((250 - r, 335 - r, 250 + r, 335 + r), fill=c + (255,))
    # A figure silhouette: head, shoulders and a raised blade.
    d.ellipse((215, 205, 285, 275), fill=(30, 14, 12, 255))
    d.polygon([(160, 470), (200, 300), (300, 300), (340, 470)], fill=(30, 14, 12, 255))
    d.polygon([(300, 320), (380, 150), (392, 158), (318, 330)], fill=GOLD_LIGHT + (255,))
    d.ellipse((242, 228, 252, 238), fill=(230, 90, 40, 255))
    # The logo plate with the lettering.
    d.rounded_rectangle((90, 470, 420, 560), radius=18, fill=GOLD_DARK + (255,), outline=GOLD_LIGHT + (255,), width=3)
    d.text((255, 515), "KELVO", font=font(64), fill=GOLD_LIGHT + (255,), anchor="mm",
           stroke_width=2, stroke_fill=(60, 30, 10, 255))

    # The ornate frame around the content area.
    outer = (340, 100, 1100, 565)
    border = vertical_gradient((W, H), GOLD_LIGHT, GOLD_DARK)
    border_mask = soft_mask((W, H), lambda d: d.rounded_rectangle(outer, radius=34, fill=255), 2)
    img = Image.composite(border, img, border_mask)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((352, 112, 1088, 553), radius=26, fill=(70, 44, 18, 255))
    d.rounded_rectangle((360, 120, 1080, 545), radius=22, outline=GOLD + (255,), width=2)
    # Corner ornaments.
    for cx, cy in ((352, 112), (1088, 112), (352, 553), (1088, 553)):
        d.ellipse((cx - 16, cy - 16, cx + 16, cy + 16), fill=GOLD + (255,), outline=GOLD_LIGHT + (255,), width=2)
        d.ellipse((cx - 6, cy - 6, cx + 6, cy + 6), fill=(150, 30, 20, 255))
    # Studs along the long edges.
    for x in range(420, 1040, 48):
        for y in (106, 559):
            d.ellipse((x - 3, y - 3, x + 3, y + 3), fill=GOLD_LIGHT + (255,))
    # The dark content area under the login page.
    d.rectangle((372, 176, 1068, 536), fill=CONTENT + (255,))
    d.rectangle((372, 176, 1068, 536), outline=(90, 60, 25, 255), width=1)
    return img


def tab_picture(label, size, state):
    w, h = size
    top, bottom, text, edge = {
        0: ((120, 70, 28), (60, 32, 12), (240, 210, 150), GOLD),
        1: ((230, 170, 70), (150, 92, 30), (255, 250, 230), GOLD_LIGHT),
        2: ((60, 30, 10), (110, 64, 24), (200, 170, 110), GOLD_DARK),
    }[state]
    slant = 14
    shape = [(slant, 0), (w - 1, 0), (w - 1 - slant, h - 1), (0, h - 1)]
    grad = vertical_gradient(size, top, bottom)
    mask = soft_mask(size, lambda d: d.polygon(shape, fill=255), 0.8)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = Image.composite(grad, img, mask)
    d = ImageDraw.Draw(img)
    d.line(shape + [shape[0]], fill=edge + (255,), width=2)
    offset = 1 if state == 2 else 0
    d.text((w / 2 + offset, h / 2 + offset), label, font=font(20), fill=text + (255,), anchor="mm",
           stroke_width=1, stroke_fill=(40, 20, 5, 255))
    return img


def round_button(kind, state):
    size = 27
    scale = 4
    big = Image.new("RGBA", (size * scale, size * scale), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    fill, ring, mark = {
        0: ((110, 60, 24), GOLD, (245, 225, 180)),
        1: ((220, 150, 50), GOLD_LIGHT, (255, 255, 255)),
        2: ((60, 28, 8), GOLD_DARK, (190, 160, 110)),
    }[state]
    s = size * scale
    d.ellipse((2, 2, s - 3, s - 3), fill=ring + (255,))
    d.ellipse((10, 10, s - 11, s - 11), fill=fill + (255,))
    m = 36 if state != 2 else 38
    width = 10
    if kind == "min":
        d.line((m, s / 2 + 4, s - m, s / 2 + 4), fill=mark + (255,), width=width)
    else:
        d.line((m, m, s - m, s - m), fill=mark + (255,), width=width)
        d.line((s - m, m, m, s - m), fill=mark + (255,), width=width)
    return big.resize((size, size), Image.LANCZOS)


def edge_line(size):
    img = Image.new("RGB", size, GOLD)
    d = ImageDraw.Draw(img)
    w, h = size
    if w > h:
        d.line((0, 0, w, 0), fill=GOLD_LIGHT)
    else:
        d.line((0, 0, 0, h), fill=GOLD_LIGHT)
    return img


def icon():
    base = Image.new("RGBA", (256, 256), (0, 0, 0, 0))
    d = ImageDraw.Draw(base)
    d.ellipse((8, 8, 248, 248), fill=GOLD + (255,))
    d.ellipse((24, 24, 232, 232), fill=(90, 30, 24, 255))
    d.text((128, 132), "K", font=font(170), fill=GOLD_LIGHT + (255,), anchor="mm")
    return base


TABS = [
    # (normal, hover, pressed ids), label, size
    ((203, 204, 202), "官方网站", (155, 49)),
    ((197, 198, 196), "账号充值", (160, 49)),
    ((194, 195, 193), "游戏论坛", (160, 49)),
    ((200, 201, 199), "客服中心", (138, 49)),
    ((211, 212, 210), "官方新闻", (138, 49)),
]
ROUND = [((177, 178, 176), "min"), ((181, 180, 179), "close")]


def main():
    os.makedirs(OUT, exist_ok=True)
    frame_picture().save(os.path.join(OUT, "png191_frame.png"), optimize=True)
    for ids, label, size in TABS:
        for state, rid in enumerate(ids):
            tab_picture(label, size, state).save(os.path.join(OUT, "png%d_tab.png" % rid), optimize=True)
    for ids, kind in ROUND:
        for state, rid in enumerate(ids):
            round_button(kind, state).save(os.path.join(OUT, "png%d_%s.png" % (rid, kind)), optimize=True)
    for rid, size in ((148, (610, 2)), (170, (2, 336)), (171, (2, 336)), (172, (610, 2))):
        edge_line(size).save(os.path.join(OUT, "bmp%d_edge.bmp" % rid))
    icon().save(os.path.join(OUT, "icon128.ico"), sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (256, 256)])
    return 0


if __name__ == "__main__":
    sys.exit(main())

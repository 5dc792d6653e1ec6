#!/usr/bin/python3
"""Draws the game window's frame strips, caption parts and caption button pictures into res/art/
as 24-bit uncompressed BMPs (game_bmpNNN.bmp). The outputs are committed, so building needs
neither this script nor its fonts. Needs Debian's python3-pil, fonts-dejavu and
fonts-wqy-microhei.

The frame code stretches the strips from their natural sizes, so every picture keeps exactly the
size given here; the strips' colours are fixed because the window tests read them back."""

import os

from PIL import Image, ImageDraw, ImageFont

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "art")
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
LETTER_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"

SCALE = 4  # button glyphs are drawn large and reduced, for smooth edges


def rgb(hex_text):
    v = int(hex_text.lstrip("#"), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# Vertical strips: left and right border columns, bottom border rows, and the two corners.
BORDER_COLUMNS = [rgb("#230201"), rgb("#772B16"), rgb("#1F0B07")]
BOTTOM_ROWS = [rgb("#220600"), rgb("#3F0406"), rgb("#7C1A00"), rgb("#200100")]
CORNER_BOTTOM_LEFT = [
    ["#200000", "#7B1B00", "#3F0406"],
    ["#200000", "#7B1B00", "#7B1B00"],
    ["#200000", "#1B0200", "#200000"],
]
CORNER_BOTTOM_RIGHT = [
    ["#3F0406", "#7B1B00", "#200000"],
    ["#7B1B00", "#7B1B00", "#200000"],
    ["#200000", "#1B0200", "#200000"],
]

CAPTION_HEIGHT = 29


def caption_rows():
    """The caption's colour for each of its 29 rows: a bright line under a dark top edge, a
    gradient body and two dark rows at the bottom."""
    rows = [rgb("#210100"), rgb("#7C1B00")]
    top, bottom = rgb("#320D05"), rgb("#5A1100")
    body = CAPTION_HEIGHT - 4
    rows += [lerp(top, bottom, i / (body - 1)) for i in range(body)]
    rows += [rgb("#2E0402"), rgb("#0D0300")]
    assert len(rows) == CAPTION_HEIGHT
    return rows


def save(img, bmp_id):
    img = img.convert("RGB")
    img.save(os.path.join(OUT, "game_bmp%d.bmp" % bmp_id), "BMP")


def strip_image(pixels):
    h, w = len(pixels), len(pixels[0])
    img = Image.new("RGB", (w, h))
    for y in range(h):
        for x in range(w):
            c = pixels[y][x]
            img.putpixel((x, y), rgb(c) if isinstance(c, str) else c)
    return img


def caption_background(width):
    img = Image.new("RGB", (width, CAPTION_HEIGHT))
    d = ImageDraw.Draw(img)
    for y, c in enumerate(caption_rows()):
        d.line([(0, y), (width - 1, y)], fill=c)
    return img


def caption_left():
    """The left caption part: an ember emblem and the product's lettering, with the left border's
    columns carried up so that the border runs on into the caption."""
    img = caption_background(130)
    d = ImageDraw.Draw(img)
    for x, c in enumerate(BORDER_COLUMNS):
        d.line([(x, 1), (x, CAPTION_HEIGHT - 1)], fill=c)

    # Emblem: a gold lozenge with a glowing core.
    cx, cy = 16, 14
    d.polygon([(cx, cy - 9), (cx + 9, cy), (cx, cy + 9), (cx - 9, cy)], fill=(120, 74, 22))
    d.polygon([(cx, cy - 7), (cx + 7, cy), (cx, cy + 7), (cx - 7, cy)], fill=(232, 184, 88))
    d.polygon([(cx, cy - 4), (cx + 4, cy), (cx, cy + 4), (cx - 4, cy)], fill=(150, 30, 8))
    d.point([(cx, cy)], fill=(255, 200, 120))

    # Lettering with a dark drop shadow so it stands off the gradient.
    font = ImageFont.truetype(LETTER_FONT, 16)
    text = "KELVO"
    d.text((31, 15), text, font=font, fill=(20, 4, 0), anchor="lm")
    d.text((30, 14), text, font=font, fill=(244, 206, 120), anchor="lm")
    # A thin gold rule under the lettering.
    d.line([(30, 23), (92, 23)], fill=(150, 96, 36))
    return img


# Button places inside the right caption part (136 wide, which starts at W - 136): x ranges of
# the notification-area, menu, minimise, maximise/restore and close buttons.
RIGHT_SLOTS = [(1, 25), (28, 56), (58, 82), (84, 108), (110, 134)]


def caption_right():
    img = caption_background(136)
    d = ImageDraw.Draw(img)
    for left, right in RIGHT_SLOTS:
        # A recessed slot: dark inside, a lighter lip on its lower edge.
        d.rectangle((left, 2, right - 1, 25), fill=(24, 4, 1))
        d.line([(left, 26), (right - 1, 26)], fill=(110, 40, 16))
    for i, c in enumerate(BORDER_COLUMNS):
        x = 133 + i
        d.line([(x, 1), (x, CAPTION_HEIGHT - 1)], fill=c)
    return img


# Button looks: background gradient top and bottom, rim, glyph colour, glyph offset.
LOOKS = {
    "normal": ((92, 28, 10), (46, 10, 4), (138, 66, 30), (232, 204, 160), 0),
    "hover": ((214, 120, 40), (150, 52, 12), (255, 222, 140), (255, 255, 255), 0),
    "pressed": ((26, 6, 2), (60, 16, 6), (96, 36, 16), (200, 150, 90), 1),
}
CLOSE_HOVER = ((222, 52, 30), (140, 14, 6), (255, 190, 150), (255, 255, 255), 0)


def button_base(width, look):
    top, bottom, rim, _, _ = look
    w, h = width * SCALE, 24 * SCALE
    img = Image.new("RGB", (w, h), (24, 4, 1))
    grad = Image.new("RGB", (w, h))
    gd = ImageDraw.Draw(grad)
    for y in range(h):
        gd.line([(0, y), (w - 1, y)], fill=lerp(top, bottom, y / (h - 1)))
    mask = Image.new("L", (w, h), 0)
    ImageDraw.Draw(mask).rounded_rectangle((2, 2, w - 3, h - 3), radius=5 * SCALE, fill=255)
    img.paste(grad, (0, 0), mask)
    ImageDraw.Draw(img).rounded_rectangle((2, 2, w - 3, h - 3), radius=5 * SCALE, outline=rim, width=SCALE)
    return img


def finish(img):
    return img.resize((img.width // SCALE, img.height // SCALE), Image.LANCZOS)


def glyph_button(width, look, draw_glyph):
    img = button_base(width, look)
    d = ImageDraw.Draw(img)
    colour, offset = look[3], look[4] * SCALE
    draw_glyph(d, colour, offset)
    return finish(img)


def s(v):
    return v * SCALE


def glyph_close(d, c, o):
    d.line([(s(7) + o, s(7) + o), (s(17) + o, s(17) + o)], fill=c, width=s(2))
    d.line([(s(17) + o, s(7) + o), (s(7) + o, s(17) + o)], fill=c, width=s(2))


def glyph_minimise(d, c, o):
    d.rectangle((s(7) + o, s(15) + o, s(17) + o, s(17) + o), fill=c)


def glyph_maximise(d, c, o):
    d.rectangle((s(6) + o, s(6) + o, s(18) + o, s(17) + o), outline=c, width=s(1))
    d.rectangle((s(6) + o, s(6) + o, s(18) + o, s(8) + o), fill=c)


def glyph_restore(d, c, o):
    # Two overlapping windows: the back one up and right, the front one down and left.
    d.rectangle((s(9) + o, s(5) + o, s(19) + o, s(14) + o), outline=c, width=s(1))
    d.rectangle((s(9) + o, s(5) + o, s(19) + o, s(7) + o), fill=c)
    d.rectangle((s(5) + o, s(10) + o, s(15) + o, s(19) + o), fill=(40, 10, 4))
    d.rectangle((s(5) + o, s(10) + o, s(15) + o, s(19) + o), outline=c, width=s(1))
    d.rectangle((s(5) + o, s(10) + o, s(15) + o, s(12) + o), fill=c)


def glyph_tray(d, c, o):
    # An arrow going down into a tray: hiding to the notification area.
    d.line([(s(12) + o, s(4) + o), (s(12) + o, s(13) + o)], fill=c, width=s(2))
    d.polygon([(s(7) + o, s(10) + o), (s(17) + o, s(10) + o), (s(12) + o, s(15) + o)], fill=c)
    d.line([(s(5) + o, s(14) + o), (s(5) + o, s(19) + o), (s(19) + o, s(19) + o), (s(19) + o, s(14) + o)],
           fill=c, width=s(2), joint="curve")


def menu_button(look):
    img = button_base(28, look)
    d = ImageDraw.Draw(img)
    font = ImageFont.truetype(CJK_FONT, s(11))
    o = look[4] * SCALE
    d.text((s(14) + o, s(12) + o), "设置", font=font, fill=look[3], anchor="mm")
    return finish(img)


def main():
    os.makedirs(OUT, exist_ok=True)

    save(strip_image([caption_rows()[y:y + 1] for y in range(CAPTION_HEIGHT)]), 149)
    save(caption_left(), 150)
    save(caption_right(), 151)
    save(strip_image([BORDER_COLUMNS]), 152)
    save(strip_image([BORDER_COLUMNS]), 157)
    save(strip_image([[c] for c in BOTTOM_ROWS]), 153)
    save(strip_image(CORNER_BOTTOM_LEFT), 169)
    save(strip_image(CORNER_BOTTOM_RIGHT), 168)

    # (normal, hover, pressed) ids per glyph.
    buttons = [
        ((154, 155, 164), glyph_close),
        ((160, 161, 167), glyph_minimise),
        ((162, 163, 165), glyph_maximise),
        ((205, 206, 207), glyph_restore),
        ((213, 214, 215), glyph_tray),
    ]
    for (normal, hover, pressed), glyph in buttons:
        hover_look = CLOSE_HOVER if glyph is glyph_close else LOOKS["hover"]
        save(glyph_button(24, LOOKS["normal"], glyph), normal)
        save(glyph_button(24, hover_look, glyph), hover)
        save(glyph_button(24, LOOKS["pressed"], glyph), pressed)

    save(menu_button(LOOKS["normal"]), 158)
    save(menu_button(LOOKS["hover"]), 159)
    save(menu_button(LOOKS["pressed"]), 166)


if __name__ == "__main__":
    main()

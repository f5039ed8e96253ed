#!/usr/bin/env python3
"""Writes the seeds of the fuzz targets whose inputs are encoded steps rather than text:

  fuzz/seeds/canvas_input_fuzz/            input scripts (pointer, wheel, keys, text) in the
                                           byte encoding of canvas_input_fuzz.cpp
  fuzz/seeds/canvas_widget_commands_fuzz/  automation commands and accessibility actions in the
                                           byte encoding of canvas_widget_commands_fuzz.cpp
  fuzz/seeds/canvas_decode_image_fuzz/     one small image of every format the decoder takes
                                           (and, kept beside them, inputs fuzzing found that
                                           once cost too much: heif-grid-of-30565x25200)

The scripts below are the readable form; each function mirrors how its target reads bytes, so a
change to a target's encoding or tables is a change here too. The images are made with tools
from Debian's packages (imagemagick, webp, libheif-examples); they are only needed to remake the
image seeds and are not part of the build:

  fuzz/make_seeds.py [--images]
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

SEEDS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")


def write_seed(target, name, data):
    folder = os.path.join(SEEDS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(bytes(data))


# ---- canvas_input_fuzz ------------------------------------------------------------------------

INPUT_KINDS = ["down", "up", "leave", "move", "drag", "wheel", "key", "keyup", "text"]
INPUT_KEYS = ["tab", "escape", "enter", "space", "arrowleft", "arrowdown", "home", "end", "a", "c", "x", "v",
              "backspace", "pageup"]
INPUT_MODS = ["primary", "command", "control", "option", "shift"]
INPUT_TEXTS = ["x", "\\t", "\\n", "hé", '""', "long text here"]


def input_line(line):
    """One script line: "<kind> <x> <y>|<key>|<text> [button=n] [dy=n] [mods=m] [t=ns]"."""
    kind, _, remainder = line.partition(" ")
    out = [INPUT_KINDS.index(kind)]
    if kind == "text":  # the text may hold spaces
        typed = max((t for t in INPUT_TEXTS if remainder == t or remainder.startswith(t + " ")), key=len)
        out.append(INPUT_TEXTS.index(typed))
        remainder = remainder[len(typed):]
    rest = remainder.split()
    if kind in ("key", "keyup"):
        out.append(INPUT_KEYS.index(rest.pop(0)))
    elif kind == "text":
        pass
    elif kind != "leave":
        x, y = int(rest.pop(0)), int(rest.pop(0))
        assert x % 2 == 0 and y % 2 == 0 and -50 <= x <= 460 and -50 <= y <= 460, line
        out += [(x + 50) // 2, (y + 50) // 2]
    options = dict(word.split("=") for word in rest)
    flags = (1 if "button" in options else 0) | (2 if "dy" in options else 0) | \
        (4 if "mods" in options else 0) | (8 if "t" in options else 0)
    out.append(flags)
    if "button" in options:
        out.append(int(options["button"]))
    if "dy" in options:
        out.append(int(options["dy"]) & 0xFF)
    if "mods" in options:
        out.append(INPUT_MODS.index(options["mods"]))
    if "t" in options:
        out += struct.pack("<I", int(float(options["t"])))
    return out


def input_script(text):
    lines = [line.strip() for line in text.strip().splitlines() if line.strip()]
    assert len(lines) <= 8, lines
    data = []
    for line in lines:
        data += input_line(line)
    return data


def click(x, y, **options):
    extra = "".join(f" {name}={value}" for name, value in options.items())
    return f"down {x} {y}{extra}\nup {x} {y}{extra}\n"


# The scene (canvas_input_fuzz.cpp): Close 300,0; Save 10,40 (context menu); checkbox 120,40;
# switch 120,80; select 230,40; Pop 10,80 opens a popover with a field at 10,120; a scroll view
# 220,120 with two items; a split view at 0,300 (divider 195..205); fields at 10,200 and 10,240
# (text area); a slider 220,200; a resizable panel 220,230; a chart 220,350.
# Each script is short (at most eight inputs): an input costs the whole view's refresh, so long
# scripts would cut how many inputs a second the target tries. Each sets up one state that takes
# several inputs to reach; the fuzzer's crossovers join them.
INPUT_SCRIPTS = {
    "field_select_copy": click(110, 214) + """
        key home
        key end mods=shift
        key c mods=primary
        key end
        key v mods=primary
        """,
    "field_cut_type": click(110, 214) + """
        key arrowleft mods=shift
        key arrowleft mods=shift
        key x mods=primary
        text hé
        key backspace mods=option
        key tab
        """,
    "field_select_all": click(110, 214) + """
        key a mods=primary
        key backspace
        text long text here
        key home mods=option
        key end mods=command
        key enter
        """,
    "area_lines": click(110, 264) + """
        key end
        text \\n
        text \\t
        key enter
        key arrowdown mods=shift
        key pageup mods=shift
        """,
    "area_paste": click(110, 264) + """
        key a mods=primary
        key c mods=primary
        key end
        key v mods=primary
        key v mods=primary
        key escape
        """,
    "drag_select": """
        down 20 214 t=1000000000
        drag 150 214 t=1050000000
        drag 300 220 t=1100000000
        up 300 220 t=1150000000
        key c mods=primary
        down 40 256 t=2000000000
        drag 40 280 t=2050000000 mods=shift
        up 40 280 t=2100000000
        """,
    "double_triple_click": """
        down 60 214 t=2000000000
        up 60 214 t=2050000000
        down 60 214 t=2200000000
        up 60 214 t=2250000000
        down 60 214 t=2400000000
        up 60 214 t=2450000000
        key backspace
        """,
    "text_context_menu": """
        down 100 214 button=1
        up 100 214 button=1
        key escape
        down 110 264 button=1
        up 110 264 button=1
        key escape
        """,
    "toggles": click(170, 54) + click(150, 94) + """
        key space
        key tab
        key space
        """,
    "slider_drag": """
        down 294 210
        drag 340 210
        drag 230 210
        drag 460 210
        up 460 210
        key arrowleft mods=shift
        key home
        key pageup
        """,
    "select_menu": click(280, 54) + """
        key arrowdown
        key enter
        key escape
        """ + click(344, 14),
    "popover_field": click(54, 94) + """
        move 100 134
        """ + click(100, 134) + """
        text x
        key tab
        key escape
        """,
    "popover_dismiss": click(54, 94) + click(380, 380) + click(54, 94) + "key escape\n",
    "button_context_menu": """
        down 60 54 button=1
        up 60 54 button=1
        key escape
        down 60 54 button=2
        up 60 54 button=2
        key space
        """,
    "wheel_momentum": """
        wheel 294 154 dy=20 t=1000000000
        wheel 294 154 dy=20 t=1016000000
        wheel 294 154 dy=40 t=1032000000
        wheel 294 154 dy=-40 t=1048000000
        wheel 294 154 dy=-128 t=1064000000
        wheel 294 154 dy=127 t=1080000000
        move 294 164 t=1500000000
        leave
        """,
    "list_keys": click(294, 134) + """
        key arrowdown
        key arrowdown
        key pageup
        key end
        key home
        key space
        """,
    "list_drag": """
        down 294 164
        drag 294 120
        drag 294 60
        up 294 60
        down 294 134 button=1
        up 294 134 button=1
        """,
    "split_drag": """
        down 200 320
        drag 250 320
        drag 100 320
        drag -40 320
        up -40 320
        key arrowleft
        key arrowleft mods=shift
        """,
    "panel_resize": """
        down 318 250
        drag 360 250
        drag 200 250
        up 200 250
        move 200 320
        leave
        """,
    "window_drag": """
        down 100 14
        drag 120 20
        drag 300 40
        up 300 40
        down 100 14 button=1
        up 100 14 button=1
        """ + click(344, 14),
    "chart_hover": """
        move 240 374
        move 290 374
        move 368 398
        down 290 374
        drag 330 380
        up 330 380
        key arrowleft
        leave
        """,
    "tab_tour": """
        key tab
        key tab
        key tab
        key tab mods=shift
        keyup tab
        key tab
        key enter
        key escape
        """,
}


def make_input_seeds():
    for name, script in INPUT_SCRIPTS.items():
        write_seed("canvas_input_fuzz", name, input_script(script))


# ---- canvas_widget_commands_fuzz --------------------------------------------------------------

# The tables of canvas_widget_commands_fuzz.cpp, in order.
VIEWS = ["canvas", "canvas", "canvas", "other"]
TARGET_VERBS = ["widget-click", "widget-click", "widget-hold", "widget-context-press"]
ACTION_WORDS = ["focus", "press", "toggle", "increment", "decrement", "set-text", "set-selection",
                "set-composition", "select", "drag"]
MORE_ACTION_WORDS = ["commit-composition", "cancel-composition", "drop-files", "dismiss", "SET_TEXT", "hover"]
TEXTS = ["", "Hello lab", "two\nlines", "tab\there", "crlf\r\nend", "Zoë 中文 👍", "0 5", "5 0", "3 3", "0 99999",
         "18446744073709551615 1", "-1 2", "16 0", "-24 8", "/tmp/a.vrs /tmp/b.txt", "nan 1"]
FRACTIONS = ["0", "0.5", "1", "0.25", "-0.5", "2", "1e30", "0.9"]
WHEEL_DELTAS = ["-120", "40", "3", "-0.5", "1e6", "-1e6"]
KEYS = ["tab", "shift+tab", "enter", "space", "escape", "arrowdown", "arrowup", "arrowleft", "arrowright", "home",
        "end", "pageup", "pagedown", "cmd+a", "cmd+c", "cmd+v", "cmd+x", "cmd+z", "a", "delete", "shift+arrowleft",
        "backspace", "ctrl+arrowleft", "cmd+shift+z"]
SCALES = ["0.002", "0.002", "0.002", "0.0015", "0.001", "0.003", "0.002", "0.0016", "0.0031", "0.002", "0.004",
          "0.05", "0", "-1", "nan", "1e9"]

# Steps (the op byte's value modulo 16).
COMMAND, ACCESSIBILITY, FRAME, COMMAND_FILE, SCREENSHOT, REACT, FAULTS = 0, 7, 11, 12, 13, 14, 15
# The platform services that fail after a FAULTS step, one bit each.
FAULT_BITS = {name: 1 << bit for bit, name in enumerate(
    ["focus", "accessibility", "frames", "input", "packets", "clipboard", "menus", "timers"])}
# What the application does at the next event it hears.
REACTIONS = ["close_badge", "reopen_badge", "other_tree", "gallery_again"]
# Accessibility action codes.
A11Y = {name: code for code, name in enumerate(
    ["focus", "press", "toggle", "increment", "decrement", "set_text", "set_selection", "select", "drag",
     "drop_files", "dismiss", "none"])}


def widget(widget_id):
    # The gallery's ids run 1, 2, 3 ... in tree order; 999 is no widget and 0 none at all.
    return {999: 0xFF, 0: 0xFE}.get(widget_id, widget_id - 1)


def text(value):
    if isinstance(value, bytes):  # raw bytes: a length code of n/4
        assert len(value) % 4 == 0 and 0 < len(value) <= 60
        return [0xF0 | len(value) // 4] + list(value)
    return [TEXTS.index(value)]


def view(name="canvas"):
    return VIEWS.index(name)


def command(kind, widget_id, *rest, on="canvas", op=COMMAND):
    """kind: 'target' (rest: verb), 'menu' (item), 'drag' (fractions), 'wheel' (delta), 'key' (key
    [, text]), 'action' (word [, text]), 'provenance' ([x, y])."""
    out = [op, ["target", "menu", "drag", "wheel", "key", "action", "provenance"].index(kind), view(on),
           widget(widget_id)]
    if kind == "target":
        out.append(TARGET_VERBS.index(rest[0]))
    elif kind == "menu":
        out.append(rest[0])
    elif kind == "drag":
        out.append(1 if len(rest) == 4 else 0)
        out += [FRACTIONS.index(f) for f in rest]
    elif kind == "wheel":
        out.append(WHEEL_DELTAS.index(rest[0]))
    elif kind == "key":
        out.append(KEYS.index(rest[0]))
        out += [1] + text(rest[1]) if len(rest) > 1 else [0]
    elif kind == "action":
        word = rest[0]
        if word in ACTION_WORDS:
            out.append(ACTION_WORDS.index(word))
        else:  # the second table is read from bytes 0xE0 and up
            out.append(next(b for b in range(0xE0, 0x100) if b % len(MORE_ACTION_WORDS) ==
                            MORE_ACTION_WORDS.index(word)))
        out += [1] + text(rest[1]) if len(rest) > 1 else [0]
    elif kind == "provenance":
        if rest:
            out += [1] + list(struct.pack("<hh", rest[0] * 16, rest[1] * 16))
        else:
            out.append(0)
    return out


def action(widget_id, word, argument=None, **options):
    return command("action", widget_id, word, *([] if argument is None else [argument]), **options)


def target(verb, widget_id, **options):
    return command("target", widget_id, verb, **options)


def a11y(name, widget_id, value_text="", value=None):
    out = [ACCESSIBILITY, A11Y[name], widget(widget_id)] + text(value_text)
    out += [0] if value is None else [1] + list(struct.pack("<HH", *value))
    return out


def screenshot(scale, on="canvas"):
    return [SCREENSHOT, view(on), 0xA5 if scale is None else SCALES.index(scale)]


def react(reaction):
    return [REACT, REACTIONS.index(reaction)]


def faults(*names):
    return [FAULTS, sum(FAULT_BITS[name] for name in names)]


def steps(*parts):
    assert len(parts) <= 4, len(parts)
    return [byte for part in parts for byte in part]


# The gallery (canvas_widget_commands_fuzz.cpp): 2 button with a context menu, 3 select,
# 4 checkbox, 5 radio, 6 slider, 7/8 segments (8 disabled), 9 field, 10 combo box, 11 text area,
# 12 read-only search field, 14 field in a group, 15 scroll view with items 16, 17, 18 (no area),
# 19 menu with items 20, 21 (disabled), 22 accordion with field 23, 26/27 grid cells, 29 tree item,
# 31 drop target, 32 split divider, 34 virtual list with item 35, 36 resizable panel, 37 button
# with popover 38 and its field 39, 41 field in a hidden panel, 42 dialog with button 43, 44 tooltip,
# 45 button in a popover without an id.
# Short as the input scripts are, for the same reason: at most four steps each (the target runs six).
WIDGET_SEEDS = {
    "field_text": steps(action(9, "set-text", "Hello lab"), action(9, "set-selection", "0 5"),
                        command("key", 1, "cmd+c"), command("key", 1, "cmd+v")),
    "field_composition": steps(action(9, "focus"), action(9, "set-composition", "Zoë 中文 👍"),
                               action(9, "commit-composition"), a11y("set_selection", 9, value=(1, 3))),
    "area_text": steps(action(11, "set-text", "two\nlines"), a11y("set_text", 11, "crlf\r\nend"),
                       a11y("set_selection", 11, value=(2, 40)), command("key", 1, "enter")),
    "area_composition": steps(action(11, "set-composition", "tab\there"), action(11, "cancel-composition"),
                              [FRAME], screenshot("0.002")),
    "read_only_and_hidden": steps(action(12, "set-text", "Hello lab"), a11y("set_text", 41, "Hello lab"),
                                  action(23, "SET_TEXT", "Zoë 中文 👍"), a11y("set_text", 39, "Hello lab")),
    "odd_selections": steps(action(10, "set-selection", "18446744073709551615 1"),
                            action(10, "set-selection", "-1 2"), a11y("set_selection", 39, value=(9, 60000)),
                            action(14, "set-selection", "0 99999")),
    "odd_texts": steps(action(14, "set-text", b"\xff\xfe\x00\x01"), a11y("set_text", 9, b"a\x00\x1b\x7f"),
                       action(10, "set-composition", b"\xe2\x80\xae\xcc\x81\xf0\x9f\x91\x8d\xe2\x80\x8b"),
                       command("key", 1, "a", "Zoë 中文 👍")),
    "select_items": steps(action(16, "select"), action(17, "select"), action(18, "select"), a11y("press", 17)),
    "select_menu_and_cells": steps(a11y("select", 20), a11y("select", 26), action(29, "select"), a11y("press", 20)),
    "slider_steps": steps(action(6, "increment"), action(6, "increment"), action(6, "decrement"),
                          target("widget-click", 6)),
    "divider_and_panel": steps(a11y("increment", 32), action(32, "drag", "16 0"), action(36, "drag", "-24 8"),
                               a11y("drag", 36)),
    "toggles": steps(action(4, "toggle"), a11y("toggle", 22), target("widget-click", 5), action(22, "toggle")),
    "select_keys": steps(action(3, "press"), command("key", 1, "arrowdown"), command("key", 1, "enter"),
                         command("key", 1, "escape")),
    "virtual_list": steps(action(34, "increment"), a11y("decrement", 34), command("wheel", 34, "40"),
                          action(35, "select")),
    "wheel_and_drag": steps(command("wheel", 15, "-120"), command("drag", 15, "0", "1", "0.25", "0.9"),
                            command("drag", 6, "1e30", "-0.5"), [FRAME]),
    "popover": steps(target("widget-click", 37), action(39, "set-text", "Hello lab"), action(38, "dismiss"),
                     [FRAME]),
    "dismissals": steps(a11y("dismiss", 42), action(44, "dismiss"), action(19, "dismiss"), a11y("press", 43)),
    "anonymous_popover": steps(a11y("press", 45), a11y("dismiss", 45), a11y("drop_files", 31), a11y("press", 29)),
    "drops": steps(action(31, "drop-files", "/tmp/a.vrs /tmp/b.txt"), a11y("drop_files", 31, "/tmp/a.vrs /tmp/b.txt"),
                   action(33, "drop-files", "/tmp/a.vrs /tmp/b.txt")),
    "context_menu": steps(target("widget-context-press", 2), command("menu", 2, 0), command("menu", 2, 2),
                          command("menu", 2, 1)),
    "hold_and_group": steps(target("widget-hold", 2), target("widget-click", 14), target("widget-click", 23),
                            command("key", 1, "shift+tab")),
    "keys": steps(action(9, "focus"), command("key", 1, "cmd+a"), command("key", 1, "cmd+x"),
                  command("key", 1, "cmd+z")),
    "command_files": steps(command("target", 9, "widget-click", op=COMMAND_FILE),
                           action(9, "set-text", "Hello lab", op=COMMAND_FILE)),
    "provenance_and_picture": steps(command("provenance", 9), command("provenance", 1, 100, 50), screenshot("0.05")),
    "app_closes_view": steps(react("close_badge"), action(9, "set-text", "Hello lab"), a11y("select", 20),
                             target("widget-click", 37)),
    "app_reopens_view": steps(react("reopen_badge"), command("drag", 6, "0", "1"), react("reopen_badge"),
                              action(32, "drag", "16 0")),
    "app_swaps_tree": steps(react("other_tree"), action(9, "set-text", "two\nlines"), action(16, "select"),
                            command("key", 1, "tab")),
    "app_reinstalls": steps(action(11, "set-composition", "Zoë 中文 👍"), react("gallery_again"),
                            a11y("set_selection", 11, value=(1, 3)), [FRAME]),
    "platform_refuses_focus": steps(faults("focus", "accessibility"), action(9, "set-text", "Hello lab"),
                                    a11y("select", 20), target("widget-click", 4)),
    "platform_refuses_frames": steps(faults("frames", "input", "timers"), target("widget-hold", 2),
                                     command("drag", 6, "0", "1"), [FRAME]),
    "platform_refuses_clipboard": steps(faults("clipboard", "menus"), target("widget-context-press", 9),
                                        command("key", 1, "cmd+c"), command("key", 1, "cmd+v")),
    "platform_refuses_packets": steps(faults("packets"), action(4, "toggle"), [FRAME], [FRAME]),
    "refusals": steps(a11y("none", 9), a11y("press", 0), target("widget-click", 9, on="other"),
                      action(21, "press")),
    "more_refusals": steps(action(8, "press"), action(41, "focus"), action(2, "hover"), screenshot("nan")),
}


def make_widget_seeds():
    for name, data in WIDGET_SEEDS.items():
        write_seed("canvas_widget_commands_fuzz", name, data)


# ---- canvas_decode_image_fuzz -----------------------------------------------------------------

# Each image is a 3 x 2 picture with transparency where the format has it, made from one PNG.
# ImageMagick's -strip leaves out the dates it would write, so the seeds come out the same each time.
IMAGE_FORMATS = {
    "png-3x2-alpha": ["convert", "{png}", "-strip", "PNG32:{out}"],
    "jpeg-3x2": ["convert", "{png}", "-strip", "-quality", "80", "JPEG:{out}"],
    "jpeg-3x2-progressive": ["convert", "{png}", "-strip", "-interlace", "JPEG", "JPEG:{out}"],
    "gif-3x2-transparent": ["convert", "{png}", "-strip", "GIF:{out}"],
    "gif-3x2-animated": ["convert", "-delay", "10", "{png}", "(", "{png}", "-flip", ")", "-strip", "GIF:{out}"],
    "tiff-3x2": ["convert", "{png}", "-strip", "-compress", "none", "TIFF:{out}"],
    "tiff-3x2-lzw": ["convert", "{png}", "-strip", "-compress", "lzw", "TIFF:{out}"],
    "webp-3x2-lossless": ["cwebp", "-quiet", "-lossless", "{png}", "-o", "{out}"],
    "webp-3x2-lossy": ["cwebp", "-quiet", "-q", "50", "{png}", "-o", "{out}"],
    "heif-8x8": ["heif-enc", "-q", "30", "{png8}", "-o", "{out}"],
}


def make_image_seeds():
    missing = [tool for tool in ("convert", "cwebp", "heif-enc") if shutil.which(tool) is None]
    if missing:
        sys.exit("make_seeds.py: the image seeds need " + ", ".join(missing))
    with tempfile.TemporaryDirectory() as scratch:
        png = os.path.join(scratch, "image.png")
        png8 = os.path.join(scratch, "image8.png")
        # Three colours and a half-transparent pixel; HEIF needs an even size, so it gets 8 x 8.
        subprocess.run(["convert", "-size", "3x2", "xc:red", "-alpha", "set", "-fill", "rgba(0,255,0,0.5)", "-draw",
                        "color 1,0 point", "-fill", "blue", "-draw", "color 2,1 point", "-strip", "PNG32:" + png],
                       check=True)
        subprocess.run(["convert", "-size", "8x8", "gradient:red-blue", "-strip", "PNG24:" + png8], check=True)
        for name, command_line in IMAGE_FORMATS.items():
            out = os.path.join(scratch, name)
            subprocess.run([word.format(png=png, png8=png8, out=out) for word in command_line], check=True)
            with open(out, "rb") as encoded:
                data = encoded.read()
            # The first two bytes choose the capacity in pixels: room for the whole image.
            write_seed("canvas_decode_image_fuzz", name, struct.pack(">H", 256) + data)


if __name__ == "__main__":
    make_input_seeds()
    make_widget_seeds()
    if "--images" in sys.argv[1:]:
        make_image_seeds()

#!/usr/bin/env python3
"""Builds the installer's resources from their sources:

- the skin archive: the XML files of <skin dir> and a PNG for every SVG of <image dir>
  (same base name), plus "logo.png", the emblem at the top bar's size;
- the program's icon: one PNG per icon size of the emblem, and the icon group that lists
  them (the RT_GROUP_ICON layout: a 6-byte header and a 14-byte entry per image).

usage: make_resources.py <rsvg-convert> <skin dir> <image dir> <icon svg> <output dir>

The SVGs are rendered by rsvg-convert; everything else is the standard library. Entry
times and order are fixed, so the same sources give the same bytes.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

SKIN_ZIP = "installer_skin.zip"
ICON_GROUP = "app_icon.group"
# Icon sizes and their RT_ICON ids, in the order the group lists them.
ICON_SIZES = ((16, 1), (24, 2), (32, 3), (48, 4), (256, 5))
LOGO_SIZE = 18
FIXED_TIME = (2020, 1, 1, 0, 0, 0)


def icon_image_name(size):
    return "app_icon_%d.png" % size


def render(rsvg, svg, out, size=None):
    command = [rsvg]
    if size is not None:
        command += ["-w", str(size), "-h", str(size)]
    command += ["-o", out, svg]
    subprocess.run(command, check=True)
    with open(out, "rb") as f:
        data = f.read()
    if not data.startswith(b"\x89PNG\r\n\x1a\n"):
        raise SystemExit("%s did not render to a PNG" % svg)
    return data


def icon_group(entries):
    """entries: (size, id, byte count) per image."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    for size, image_id, length in entries:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHIH", side, side, 0, 0, 1, 32, length, image_id)
    return out


def add(archive, name, data):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    archive.writestr(info, data)


def write_atomically(path, data):
    temp = path + ".tmp"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, path)


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    rsvg, skin_dir, image_dir, icon_svg, out_dir = argv[1:]
    os.makedirs(out_dir, exist_ok=True)
    xml_files = sorted(f for f in os.listdir(skin_dir) if f.endswith(".xml"))
    svg_files = sorted(f for f in os.listdir(image_dir) if f.endswith(".svg"))
    if not xml_files or not svg_files:
        sys.stderr.write("no skin files in %s or no images in %s\n" % (skin_dir, image_dir))
        return 1

    with tempfile.TemporaryDirectory() as work:
        images = {}
        for svg in svg_files:
            name = svg[:-len(".svg")] + ".png"
            images[name] = render(rsvg, os.path.join(image_dir, svg), os.path.join(work, name))
        if "logo.png" in images:
            sys.stderr.write("logo.png is made from the icon; %s must not have one\n" % image_dir)
            return 1
        images["logo.png"] = render(rsvg, icon_svg, os.path.join(work, "logo.png"), LOGO_SIZE)

        entries = []
        for size, image_id in ICON_SIZES:
            data = render(rsvg, icon_svg, os.path.join(work, icon_image_name(size)), size)
            write_atomically(os.path.join(out_dir, icon_image_name(size)), data)
            entries.append((size, image_id, len(data)))
        write_atomically(os.path.join(out_dir, ICON_GROUP), icon_group(entries))

        zip_path = os.path.join(out_dir, SKIN_ZIP)
        temp = zip_path + ".tmp"
        with zipfile.ZipFile(temp, "w") as archive:
            for name in xml_files:
                with open(os.path.join(skin_dir, name), "rb") as f:
                    add(archive, name, f.read())
            for name in sorted(images):
                add(archive, name, images[name])
        os.replace(temp, zip_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

"""Thumbnails in the real program: one click on the toolbar's "Thumbnails /
Details" button shows the Pictures folder as thumbnails, and the desktop's cache then holds a PNG for
each picture where the Thumbnail Managing Standard puts it, with its stamps,
and a failure entry for the damaged one; a second click brings the details
back."""
import hashlib
import os
import struct
import urllib.parse
import zlib

import a11y

HOME = os.environ["HOME"]
PICTURES = os.path.join(HOME, "Pictures")
CACHE = os.path.join(HOME, ".cache", "thumbnails")


def uri(path):
    # The desktop's escaping: all but letters, digits and -._~!$&'()*+,=:@/
    return "file://" + urllib.parse.quote(path.encode(), safe="/!$&'()*+,=:@")


def cached(folder, path):
    return os.path.join(CACHE, folder, hashlib.md5(uri(path).encode()).hexdigest() + ".png")


def png_texts(path):
    data = open(path, "rb").read()
    texts, i = {}, 8
    while i + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[i:i + 8])
        body = data[i + 8:i + 8 + length]
        if kind in (b"tEXt", b"zTXt"):
            key, _, value = body.partition(b"\0")
            if kind == b"zTXt":
                value = zlib.decompress(value[1:])
            texts[key.decode("latin-1")] = value.decode("latin-1")
        i += 12 + length
    return texts


def main():
    app = a11y.app()
    if not app:
        a11y.done(False, "FAIL: the program is not on the accessibility bus")
    if not a11y.open_folder(app, "Home", "Pictures"):
        a11y.done(False, "FAIL: cannot open Home/Pictures in the Desktop tab")
    a11y.need(app, "FAIL: no file list", name_is="File List", showing=True)
    button = a11y.need(app, 'FAIL: no "Thumbnails / Details" button', name_is="Thumbnails / Details",
                       showing=True)
    a11y.click(button)
    a11y.need(app, "FAIL: the thumbnails do not show", name_is="File Thumbnails", showing=True)

    photos = sorted(f for f in os.listdir(PICTURES) if f.endswith((".jpg", ".png")) and f != "damaged.jpg")
    wanted = [cached("normal", os.path.join(PICTURES, f)) for f in photos]
    failure = os.path.join(CACHE, "fail", "vistrel-1.303",
                           os.path.basename(cached("normal", os.path.join(PICTURES, "damaged.jpg"))))
    if not a11y.wait(lambda: all(os.path.exists(p) for p in wanted + [failure]) or None, timeout=20):
        a11y.done(False, "FAIL: the cache holds %r" % sorted(
            os.path.relpath(os.path.join(d, f), CACHE) for d, _, fs in os.walk(CACHE) for f in fs))
    for name, png in zip(photos, wanted):
        path = os.path.join(PICTURES, name)
        texts = png_texts(png)
        if texts.get("Thumb::URI") != uri(path) or \
                texts.get("Thumb::MTime") != str(int(os.stat(path).st_mtime)):
            a11y.done(False, "FAIL: %s carries %r" % (png, texts))
        if os.stat(png).st_mode & 0o777 != 0o600:
            a11y.done(False, "FAIL: %s is not private" % png)
    for folder in (CACHE, os.path.join(CACHE, "normal")):
        if os.stat(folder).st_mode & 0o777 != 0o700:
            a11y.done(False, "FAIL: %s is not private" % folder)
    made = set(os.listdir(os.path.join(CACHE, "normal")))
    if len(made) != len(photos):
        a11y.done(False, "FAIL: %d thumbnails for %d pictures" % (len(made), len(photos)))
    a11y.shot(os.path.join(os.environ.get("SHOT_DIR", "."), "thumbnails.png"))

    a11y.click(button)
    a11y.need(app, "FAIL: the details do not come back", name_is="File List", showing=True)
    a11y.done(True, "PASS: %d thumbnails and a failure entry in %s" % (len(photos), CACHE))


if __name__ == "__main__":
    main()

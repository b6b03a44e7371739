#!/usr/bin/env python3
# Writes the seed corpus of fuzz_archive_plan: small archives as fan sites lay them out, and a
# few hostile ones. The first byte of each seed picks the name the target reads it under
# (0 .zip, 1 .7z, 2 .tar.gz, 3 .rar). Run from this folder; the seeds are committed.
import io, os, tarfile, zipfile

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "archive_plan")
os.makedirs(here, exist_ok=True)
PACKAGE = (b"###Begin_BRX###\r\n###Install###C:\\G\\Scripts\\Playgrounds\\p.txt###/Install###\r\n"
           b"###Title###p.txt###/Title###\r\nmap\r\n###End_BRX###\r\n\r\n")
LAYOUT = [
    ("Island-v2/Black & White/Scripts/Playgrounds/island.txt", b"// island\r\n"),
    ("Island-v2/Black & White/Data/Landscape/island.lnd", bytes(range(256)) * 4),
    ("Island-v2/readme.txt", b"read me\r\n"),
    ("art/sun.bmp", b"BM" + bytes(60)),
    ("Profiles/Player1/symbol1.bmp", b"BM" + bytes(20)),
    ("pack.brx", PACKAGE),
    ("setup.exe", b"MZ"),
]

def zip_of(files):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files:
            z.writestr(zipfile.ZipInfo(name, (2001, 3, 23, 0, 0, 0)), data)
    return out.getvalue()

def targz_of(files, link=None):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w:gz", format=tarfile.PAX_FORMAT) as t:
        for name, data in files:
            info = tarfile.TarInfo(name)
            info.size, info.mtime = len(data), 985305600
            t.addfile(info, io.BytesIO(data))
        if link:
            info = tarfile.TarInfo(link)
            info.type, info.linkname = tarfile.SYMTYPE, "/etc/passwd"
            t.addfile(info)
    return out.getvalue()

seeds = {
    "layout-zip": b"\0" + zip_of(LAYOUT),
    "layout-targz": b"\2" + targz_of(LAYOUT),
    "dotdot-zip": b"\0" + zip_of([("maps/../../evil.txt", b"x")]),
    "link-targz": b"\2" + targz_of([("a.txt", b"x")], link="Scripts/Playgrounds/l.txt"),
    "targz-as-zip": b"\0" + targz_of([("a.txt", b"x")]),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)

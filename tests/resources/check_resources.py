#!/usr/bin/env python3
"""Checks the resources linked into a built Windows executable: the two dialogs control by
control (class, the styles the windows rely on, built-in text, up-downs right after their
edits), the pop-up menu, the pictures' sizes and bit depths, the icon and the manifest.

Usage: check_resources.py EXE            (run by ctest in the Windows build)
       check_resources.py --pictures DIR (the generator's output matches the committed files)
"""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

RT_BITMAP, RT_MENU, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = 2, 4, 5, 14, 24
BUTTON, EDIT, STATIC, LISTBOX, COMBOBOX = "Button", "Edit", "Static", "ListBox", "ComboBox"
UPDOWN, TRACKBAR = "msctls_updown32", "msctls_trackbar32"
ATOMS = {0x80: BUTTON, 0x81: EDIT, 0x82: STATIC, 0x83: LISTBOX, 0x85: COMBOBOX}

WS_BORDER, WS_VSCROLL = 0x00800000, 0x00200000
SPIN = 0x10 | 0x02 | 0x20 | 0x100  # auto buddy, sets the buddy's number, arrow keys, hot tracking
SLIDER = 0x02 | 0x10 | 0x1000  # vertical, no ticks, transparent background

# The ids, by their names in resource.h, which the resource script and the C++ share.
ID = {}
for line in open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "resource.h")):
    fields = line.split()
    if len(fields) >= 3 and fields[0] == "#define" and fields[1].startswith("ID") and fields[2].isdigit():
        ID[fields[1]] = int(fields[2])

# id: (class, styles that must be set, styles that must be clear, low-bits type or None, text)
# Button types: 0 push, 1 default push, 3 auto check box; combo box 2 drop-down, 3 list.
MAIN = {ID["IDC_START"]: (BUTTON, 0, 0, 1, "Iniciar")}
for channel in (0, 1, 2, 4, 5, 6, 7):
    MAIN[ID[f"IDC_CH{channel}_EDIT"]] = (EDIT, 0x2000 | 0x2, WS_BORDER, None, "")
    MAIN[ID[f"IDC_CH{channel}_SPIN"]] = (UPDOWN, SPIN, 0, None, "")
    MAIN[ID[f"IDC_CH{channel}_SLIDER"]] = (TRACKBAR, SLIDER, 0, None, "")
MAIN.update({ID[name]: row for name, row in {
    "IDC_PRESSED": (BUTTON, 0x1000, 0, 3, "Pressionado"),
    "IDC_JOYSTICK_ONLY": (BUTTON, 0, 0, 3, "Emular apenas o joystick/teclado"),
    "IDC_PORT_LABEL": (STATIC, 0, 0, None, "Porta COM:"),
    "IDC_PORT_EDIT": (EDIT, 0x2000 | 0x2 | WS_BORDER, 0, None, ""),
    "IDC_PORT_SPIN": (UPDOWN, SPIN, 0, None, ""),
    "IDC_JOYSTICK_LABEL": (STATIC, 0x200, 0, None, "Utilizar joystick:"),
    "IDC_MENU_BUTTON": (BUTTON, 0, 0, 0, "..."),
    "IDC_JOYSTICK": (COMBOBOX, 0, 0, 3, ""),
    "IDC_SEPARATOR": (STATIC, 0x1000, 0, None, ""),
    "IDC_ASSOCIATE": (BUTTON, 0, 0, 0, "Associar entrada"),
    "IDC_INPUT": (COMBOBOX, 0, 0, 3, ""),
    "IDC_TARGET_LABEL": (STATIC, 0, 0, 1, "à"),
    "IDC_CHANNEL_TARGET": (COMBOBOX, 0, 0, 3, ""),
    "IDC_KEY_TARGET": (COMBOBOX, 0, 0, 3, ""),
    "IDC_ASSOCIATIONS_LABEL": (STATIC, 0x200, 0, None, "Associações existentes:"),
    "IDC_DELETE": (BUTTON, 0, 0, 0, "Excluir"),
    "IDC_ASSOCIATIONS": (LISTBOX, 0x1 | 0x100 | WS_BORDER, 0, None, ""),
}.items()})
PROFILE = {
    ID["IDC_PROFILE_LABEL"]: (STATIC, 0, 0, None, "Nome do perfil:"),
    ID["IDC_PROFILE_NAME"]: (COMBOBOX, 0x100 | 0x40 | WS_VSCROLL, 0, 2, ""),
    1: (BUTTON, 0, 0, 1, "OK"),  # IDOK
    2: (BUTTON, 0, 0, 0, "Cancelar"),  # IDCANCEL
}
MENU = [(ID["IDM_OPEN_PROFILE"], "&Abrir perfil..."), (ID["IDM_SAVE_PROFILE"], "&Salvar perfil..."), (0, ""),
        (ID["IDM_DELETE_PROFILE"], "&Excluir perfil..."), (0, ""), (ID["IDM_ABOUT"], "S&obre...")]


def resources(path):
    """{(type, id): bytes} of a PE32+ file, first language of each."""
    d = open(path, "rb").read()
    pe = struct.unpack_from("<I", d, 0x3C)[0]
    nsec, optsize = struct.unpack_from("<H", d, pe + 6)[0], struct.unpack_from("<H", d, pe + 20)[0]
    opt = pe + 24
    rva = struct.unpack_from("<I", d, opt + 112 + 2 * 8)[0]  # data directory 2
    sections = [struct.unpack_from("<IIII", d, opt + optsize + 40 * i + 8) for i in range(nsec)]

    def at(r):
        for vsize, vaddr, rawsize, rawptr in sections:
            if vaddr <= r < vaddr + max(vsize, rawsize):
                return r - vaddr + rawptr
        raise ValueError(hex(r))

    base = at(rva)

    def entries(off):
        named, ids = struct.unpack_from("<HH", d, base + off + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", d, base + off + 16 + 8 * i)
            yield name, target

    out = {}
    for rtype, t in entries(0):
        for rid, n in entries(t & 0x7FFFFFFF):
            _, leaf = next(entries(n & 0x7FFFFFFF))
            data_rva, size = struct.unpack_from("<II", d, base + leaf)
            out[(rtype, rid)] = d[at(data_rva):at(data_rva) + size]
    return out


class Reader:
    def __init__(self, data, pos=0):
        self.d, self.p = data, pos

    def take(self, fmt):
        v = struct.unpack_from("<" + fmt, self.d, self.p)
        self.p += struct.calcsize("<" + fmt)
        return v if len(v) > 1 else v[0]

    def text(self):
        end = self.p
        while self.d[end:end + 2] != b"\0\0":
            end += 2
        s = self.d[self.p:end].decode("utf-16-le")
        self.p = end + 2
        return s

    def sz_or_ord(self):
        first = self.take("H")
        if first == 0:
            return ""
        if first == 0xFFFF:
            return self.take("H")
        self.p -= 2
        return self.text()

    def align(self):
        self.p = (self.p + 3) & ~3


def dialog(data):
    r = Reader(data)
    ver, sig, _help, exstyle, style, count = r.take("HHIIIH")
    assert (ver, sig) == (1, 0xFFFF), "not a DIALOGEX template"
    r.take("hhhh")
    r.sz_or_ord(), r.sz_or_ord()
    caption = r.text()
    if style & 0x40:  # DS_SETFONT
        r.take("HHBB")
        r.text()
    items = []
    for _ in range(count):
        r.align()
        _help, _ex, istyle, _x, _y, _w, _h, iid = r.take("IIIhhhhI")
        cls = r.sz_or_ord()
        title = r.sz_or_ord()
        extra = r.take("H")
        r.p += extra
        items.append((iid, ATOMS.get(cls, cls), istyle, title if isinstance(title, str) else ""))
    return style, exstyle, caption, items


def check_dialog(name, data, expected, errors):
    style, exstyle, caption, items = dialog(data)
    ids = [i[0] for i in items]
    if sorted(ids) != sorted(expected):
        errors.append(f"{name}: controls {sorted(ids)}, expected {sorted(expected)}")
    for iid, cls, istyle, title in items:
        if iid not in expected:
            continue
        ecls, need, clear, kind, text = expected[iid]
        mask = 0x3 if ecls == COMBOBOX else 0x1F if ecls == STATIC else 0xF
        problems = [f"class {cls}" if cls.lower() != ecls.lower() else "",
                    f"missing style {need & ~istyle:#x}" if istyle & need != need else "",
                    f"unwanted style {istyle & clear:#x}" if istyle & clear else "",
                    f"type {istyle & mask}" if kind is not None and istyle & mask != kind else "",
                    f"text {title!r}" if title != text else ""]
        for p in filter(None, problems):
            errors.append(f"{name} control {iid}: {p}")
    for pos, (iid, cls, _s, _t) in enumerate(items):
        if cls.lower() == UPDOWN and (pos == 0 or items[pos - 1][0] != iid - 1):
            errors.append(f"{name}: up-down {iid} does not follow its edit {iid - 1}")
    return style, exstyle, caption


def check_exe(path):
    errors = []
    res = resources(path)

    style, exstyle, caption = check_dialog("dialog 101", res[(RT_DIALOG, ID["IDD_MAIN"])], MAIN, errors)
    if caption != "Ombrix Emulator":
        errors.append(f"dialog 101 caption {caption!r}")
    if style & 0x00CA0000 != 0x00CA0000 or style & 0x00050000:  # caption, system menu, minimise
        errors.append(f"dialog 101 style {style:#x}: wants caption, system menu and minimise box only")
    if not exstyle & 0x00040000:
        errors.append("dialog 101 is not shown in the task bar (WS_EX_APPWINDOW)")
    style, _, _ = check_dialog("dialog 105", res[(RT_DIALOG, ID["IDD_PROFILE_NAME"])], PROFILE, errors)
    if style & 0x00C80000 != 0x00C80000:
        errors.append(f"dialog 105 style {style:#x}: wants caption and system menu")

    r = Reader(res[(RT_MENU, ID["IDR_MAIN_MENU"])], 4)
    flags = r.take("H")
    title = r.text()
    items = []
    while True:
        f = r.take("H")
        items.append((r.take("H"), r.text()))
        if f & 0x80:
            break
    if not flags & 0x10 or items != MENU:
        errors.append(f"menu 104: {title!r} {items}")

    for rid, size in ((ID["IDB_BOARD"], (518, 576, 8)), (ID["IDB_EMBLEM"], (145, 200, 4))):
        w, h, _planes, bpp = struct.unpack_from("<iiHH", res[(RT_BITMAP, rid)], 4)
        if (w, h, bpp) != size:
            errors.append(f"bitmap {rid}: {w} x {h}, {bpp} bpp; expected {size}")
    if (RT_GROUP_ICON, ID["IDI_PROGRAM"]) not in res:
        errors.append("icon 100 missing")
    manifest = res.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    if "<dpiAware" not in manifest or ">true<" not in manifest:
        errors.append("manifest does not declare DPI awareness")
    if "Microsoft.Windows.Common-Controls" in manifest:
        errors.append("manifest asks for common controls version 6")
    return errors


def check_pictures(folder):
    """Runs the generator into a scratch folder and compares its output with the committed files."""
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(folder, "make_pictures.py"), "--out", out], check=True)
        return [f"{name} differs from what make_pictures.py draws"
                for name in sorted(os.listdir(out))
                if not filecmp.cmp(os.path.join(out, name), os.path.join(folder, name), shallow=False)]


def main(argv):
    errors = check_pictures(argv[2]) if argv[1] == "--pictures" else check_exe(argv[1])
    for e in errors:
        print(e)
    print(f"{len(errors)} problem(s)")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

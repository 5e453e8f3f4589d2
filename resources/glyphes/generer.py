#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the button glyphs of VOLTIPLUME as PNG files (run once; the PNG files are kept).

A tiny rasteriser: shapes are drawn at four times the size and averaged down, which gives
smooth edges without any library beyond the standard one.
"""
import math
import struct
import zlib

SUR = 4  # supersampling


class Toile:
    def __init__(self, l, h):
        self.l, self.h = l, h
        self.L, self.H = l * SUR, h * SUR
        self.px = [[(0, 0, 0, 0)] * self.L for _ in range(self.H)]

    def _point(self, x, y, c):
        if 0 <= x < self.L and 0 <= y < self.H:
            self.px[y][x] = c

    def polygone(self, pts, c):
        pts = [(x * SUR, y * SUR) for x, y in pts]
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.H, int(math.ceil(max(ys))))):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (x1, y1), (x2, y2) = pts[i], pts[(i + 1) % len(pts)]
                if (y1 <= yc < y2) or (y2 <= yc < y1):
                    xs.append(x1 + (yc - y1) * (x2 - x1) / (y2 - y1))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(max(0, int(round(a))), min(self.L, int(round(b)))):
                    self.px[y][x] = c

    def rect(self, x, y, l, h, c):
        self.polygone([(x, y), (x + l, y), (x + l, y + h), (x, y + h)], c)

    def cadre(self, x, y, l, h, e, c):
        self.rect(x, y, l, e, c)
        self.rect(x, y + h - e, l, e, c)
        self.rect(x, y, e, h, c)
        self.rect(x + l - e, y, e, h, c)

    def disque(self, cx, cy, r, c):
        n = 48
        self.polygone([(cx + r * math.cos(2 * math.pi * i / n), cy + r * math.sin(2 * math.pi * i / n))
                       for i in range(n)], c)

    def anneau(self, cx, cy, r, e, c, debut=0.0, fin=360.0):
        n = 48
        a0, a1 = math.radians(debut), math.radians(fin)
        ext = [(cx + r * math.cos(a0 + (a1 - a0) * i / n), cy + r * math.sin(a0 + (a1 - a0) * i / n)) for i in range(n + 1)]
        r2 = r - e
        inte = [(cx + r2 * math.cos(a0 + (a1 - a0) * i / n), cy + r2 * math.sin(a0 + (a1 - a0) * i / n)) for i in range(n + 1)]
        self.polygone(ext + inte[::-1], c)

    def trait(self, x1, y1, x2, y2, e, c):
        dx, dy = x2 - x1, y2 - y1
        d = math.hypot(dx, dy) or 1
        nx, ny = -dy / d * e / 2, dx / d * e / 2
        self.polygone([(x1 + nx, y1 + ny), (x2 + nx, y2 + ny), (x2 - nx, y2 - ny), (x1 - nx, y1 - ny)], c)

    def png(self, nom):
        lignes = []
        for y in range(self.h):
            ligne = bytearray([0])
            for x in range(self.l):
                acc = [0, 0, 0, 0]
                for sy in range(SUR):
                    for sx in range(SUR):
                        r, g, b, a = self.px[y * SUR + sy][x * SUR + sx]
                        acc[0] += r * a
                        acc[1] += g * a
                        acc[2] += b * a
                        acc[3] += a
                if acc[3]:
                    ligne += bytes([acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], acc[3] // (SUR * SUR)])
                else:
                    ligne += bytes(4)
            lignes.append(bytes(ligne))

        def bloc(t, d):
            return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)

        donnees = b"\x89PNG\r\n\x1a\n" + bloc(b"IHDR", struct.pack(">IIBBBBB", self.l, self.h, 8, 6, 0, 0, 0))
        donnees += bloc(b"IDAT", zlib.compress(b"".join(lignes), 9)) + bloc(b"IEND", b"")
        with open(nom, "wb") as f:
            f.write(donnees)


NOIR = (30, 30, 30, 255)
GRIS = (120, 120, 130, 255)
GRIS_CLAIR = (200, 200, 205, 255)
BLANC = (255, 255, 255, 255)
BLEU = (30, 80, 200, 255)
BLEU_CLAIR = (120, 170, 240, 255)
ROUGE = (215, 30, 30, 255)
VERT = (20, 160, 50, 255)
JAUNE = (245, 195, 50, 255)
ORANGE = (230, 130, 30, 255)
CIEL = (170, 215, 250, 255)


def pellicule(t, x, y, l, h, fond=NOIR):
    """A strip of film: dark band with sprocket holes top and bottom."""
    t.rect(x, y, l, h, fond)
    pas = max(3.0, l / 6)
    i = x + pas / 3
    while i + pas / 3 < x + l:
        t.rect(i, y + h * 0.06, pas / 3, h * 0.1, BLANC)
        t.rect(i, y + h * 0.84, pas / 3, h * 0.1, BLANC)
        i += pas / 1.5


def image_paysage(t, x, y, l, h):
    t.rect(x, y, l, h, CIEL)
    t.polygone([(x, y + h), (x + l * 0.4, y + h * 0.45), (x + l * 0.7, y + h), ], VERT)
    t.disque(x + l * 0.75, y + h * 0.3, min(l, h) * 0.15, JAUNE)


def feuille(t, x, y, l, h):
    c = l * 0.3
    t.polygone([(x, y), (x + l - c, y), (x + l, y + c), (x + l, y + h), (x, y + h)], GRIS)
    t.polygone([(x + 1, y + 1), (x + l - c, y + 1), (x + l - 1, y + c), (x + l - 1, y + h - 1), (x + 1, y + h - 1)], BLANC)


def dossier(t, x, y, l, h, c=JAUNE):
    t.polygone([(x, y + h * 0.15), (x + l * 0.4, y + h * 0.15), (x + l * 0.5, y + h * 0.3),
                (x + l, y + h * 0.3), (x + l, y + h), (x, y + h)], ORANGE)
    t.rect(x, y + h * 0.38, l, h * 0.62, c)


def plus(t, cx, cy, r, c=VERT):
    t.rect(cx - r, cy - r / 3, 2 * r, 2 * r / 3, c)
    t.rect(cx - r / 3, cy - r, 2 * r / 3, 2 * r, c)


def lecture(t, cx, cy, r, c=VERT):
    t.polygone([(cx - r * 0.6, cy - r), (cx + r, cy), (cx - r * 0.6, cy + r)], c)


def copies(t, x, y, s):
    t.rect(x + s * 0.3, y, s * 0.7, s * 0.7, GRIS)
    t.rect(x + s * 0.35, y + s * 0.05, s * 0.6, s * 0.6, BLANC)
    t.rect(x, y + s * 0.3, s * 0.7, s * 0.7, GRIS)
    t.rect(x + s * 0.05, y + s * 0.35, s * 0.6, s * 0.6, BLANC)


def micro(t, cx, cy, s):
    t.rect(cx - s * 0.18, cy - s * 0.5, s * 0.36, s * 0.6, GRIS)
    t.disque(cx, cy - s * 0.5, s * 0.18, GRIS)
    t.disque(cx, cy + s * 0.1, s * 0.18, GRIS)
    t.anneau(cx, cy + s * 0.05, s * 0.3, s * 0.07, NOIR, 0, 180)
    t.rect(cx - s * 0.035, cy + s * 0.33, s * 0.07, s * 0.15, NOIR)
    t.rect(cx - s * 0.2, cy + s * 0.46, s * 0.4, s * 0.07, NOIR)


def hautparleur(t, x, y, s):
    t.rect(x, y + s * 0.35, s * 0.2, s * 0.3, NOIR)
    t.polygone([(x + s * 0.2, y + s * 0.35), (x + s * 0.45, y + s * 0.12), (x + s * 0.45, y + s * 0.88), (x + s * 0.2, y + s * 0.65)], NOIR)
    t.anneau(x + s * 0.45, y + s * 0.5, s * 0.22, s * 0.07, BLEU, -50, 50)
    t.anneau(x + s * 0.45, y + s * 0.5, s * 0.38, s * 0.07, BLEU, -50, 50)


def note(t, x, y, s, c=BLEU):
    t.disque(x + s * 0.25, y + s * 0.8, s * 0.17, c)
    t.rect(x + s * 0.36, y + s * 0.1, s * 0.08, s * 0.7, c)
    t.polygone([(x + s * 0.36, y + s * 0.1), (x + s * 0.75, y + s * 0.25), (x + s * 0.75, y + s * 0.4), (x + s * 0.44, y + s * 0.27)], c)


def bobine(t, cx, cy, r):
    t.disque(cx, cy, r, NOIR)
    for i in range(6):
        a = 2 * math.pi * i / 6
        t.disque(cx + r * 0.55 * math.cos(a), cy + r * 0.55 * math.sin(a), r * 0.2, BLANC)
    t.disque(cx, cy, r * 0.12, BLANC)


def fleche(t, x1, y, x2, e, c):
    s = 1 if x2 > x1 else -1
    t.rect(min(x1, x2 - s * e * 1.5), y - e / 2, abs(x2 - x1) - e * 1.5, e, c)
    t.polygone([(x2, y), (x2 - s * e * 1.8, y - e * 1.3), (x2 - s * e * 1.8, y + e * 1.3)], c)


def faire(nom, l, h, dessin):
    t = Toile(l, h)
    dessin(t)
    t.png(nom + ".png")


# Toolbar, 33 x 33 buttons (29 x 29 glyphs).
faire("nouveau", 29, 29, lambda t: (feuille(t, 4, 2, 18, 24), plus(t, 21, 20, 6)))
faire("ouvrir", 29, 29, lambda t: dossier(t, 2, 4, 25, 21))
faire("dupliquer_projet", 29, 29, lambda t: (dossier(t, 1, 1, 18, 15, JAUNE), dossier(t, 9, 11, 18, 15, BLEU_CLAIR)))
faire("creer_video", 29, 29, lambda t: (pellicule(t, 1, 6, 27, 17), image_paysage(t, 5, 10, 19, 9), t.disque(22, 22, 5, ROUGE)))
faire("revoir_video", 29, 29, lambda t: (pellicule(t, 1, 6, 27, 17), image_paysage(t, 5, 10, 19, 9), lecture(t, 22, 21, 6)))
faire("copier_video", 29, 29, lambda t: (pellicule(t, 1, 2, 22, 14), copies(t, 14, 14, 14)))
faire("enregistrer_son", 29, 29, lambda t: (micro(t, 13, 14, 22), t.disque(23, 6, 4, ROUGE)))
faire("ecouter_son", 29, 29, lambda t: hautparleur(t, 2, 2, 25))
faire("importer_son", 29, 29, lambda t: (note(t, 10, 2, 18), fleche(t, 1, 22, 14, 4, VERT)))
faire("copier_son", 29, 29, lambda t: (note(t, 0, 0, 17), copies(t, 13, 13, 15)))
faire("mixer", 29, 29, lambda t: (pellicule(t, 1, 2, 18, 12), note(t, 12, 12, 16), plus(t, 7, 22, 5)))
faire("revoir_film", 29, 29, lambda t: (bobine(t, 12, 12, 11), lecture(t, 22, 22, 6)))
faire("copier_film", 29, 29, lambda t: (bobine(t, 10, 10, 9), copies(t, 14, 14, 14)))
faire("vdub", 29, 29, lambda t: (bobine(t, 10, 10, 8), t.trait(14, 26, 26, 14, 4, BLEU), t.disque(25, 15, 4, BLEU), t.disque(15, 25, 4, BLEU)))

# Frame buttons, 52 x 52.
faire("photo", 52, 52, lambda t: (t.rect(4, 14, 44, 30, GRIS), t.rect(14, 9, 14, 7, GRIS), t.disque(26, 29, 11, NOIR),
                                 t.disque(26, 29, 7, BLEU_CLAIR), t.disque(41, 19, 2.5, ROUGE), plus(t, 44, 44, 7)))


def doubler(t):
    pellicule(t, 1, 12, 50, 28)
    image_paysage(t, 5, 17, 19, 18)
    image_paysage(t, 28, 17, 19, 18)


def supprimer(t):
    pellicule(t, 1, 12, 50, 28)
    image_paysage(t, 5, 17, 19, 18)
    image_paysage(t, 28, 17, 19, 18)
    t.trait(28, 15, 47, 37, 4, ROUGE)
    t.trait(47, 15, 28, 37, 4, ROUGE)


faire("doubler", 52, 52, doubler)
faire("supprimer", 52, 52, supprimer)

# Preview button, 28 x 27.
faire("lecture", 28, 27, lambda t: (t.cadre(1, 1, 26, 25, 3, NOIR), lecture(t, 14, 13.5, 8)))
faire("arret", 28, 27, lambda t: (t.cadre(1, 1, 26, 25, 3, NOIR), t.disque(14, 13.5, 8, ROUGE)))

# Selection tool bar, 17 x 17.
faire("debut_selection", 17, 17, lambda t: (t.rect(2, 1, 3, 15, BLEU), t.polygone([(7, 3), (15, 8.5), (7, 14)], ROUGE)))
faire("fin_selection", 17, 17, lambda t: (t.rect(12, 1, 3, 15, BLEU), t.polygone([(10, 3), (2, 8.5), (10, 14)], ROUGE)))
faire("annuler_selection", 17, 17, lambda t: (t.rect(7, 1, 3, 15, BLEU), t.polygone([(0, 3), (6, 8.5), (0, 14)], BLEU),
                                              t.polygone([(17, 3), (11, 8.5), (17, 14)], BLEU)))
faire("copier_selection", 17, 17, lambda t: (t.cadre(1, 1, 10, 10, 2, BLEU), t.rect(6, 6, 10, 10, BLEU)))
faire("inverser_selection", 17, 17, lambda t: (fleche(t, 1, 5, 16, 2.5, BLEU), fleche(t, 16, 12, 1, 2.5, BLEU)))


def deux(t):
    t.anneau(8.5, 6, 5, 2.6, BLEU, 180, 380)
    t.polygone([(12.8, 8.2), (15, 9.6), (7, 14), (15, 14), (15, 16.5), (2.5, 16.5), (2.5, 14.5)], BLEU)


faire("doubler_selection", 17, 17, deux)
faire("supprimer_selection", 17, 17, lambda t: (t.trait(3, 3, 14, 14, 3.2, ROUGE), t.trait(14, 3, 3, 14, 3.2, ROUGE)))


# Undo and redo: an arrow that turns back, and the same the other way.
def retour(t, miroir):
    x = (lambda v: 17 - v) if miroir else (lambda v: v)
    t.anneau(x(9), 9.5, 6, 2.4, VERT, 90 if miroir else -90, 270 if miroir else 90)
    t.rect(min(x(4), x(9)), 13.1, 5, 2.4, VERT)
    t.polygone([(x(1.5), 4.7), (x(7.5), 0.3), (x(7.5), 9.1)], VERT)


faire("annuler", 17, 17, lambda t: retour(t, False))
faire("retablir", 17, 17, lambda t: retour(t, True))

# Full-screen shooting, beside CAMERA, 19 x 19: a picture with the four corners pushed out.
def plein_ecran(t):
    image_paysage(t, 4, 5, 11, 9)
    for (x, y, sx, sy) in ((0.5, 0.5, 1, 1), (18.5, 0.5, -1, 1), (0.5, 18.5, 1, -1), (18.5, 18.5, -1, -1)):
        t.polygone([(x, y), (x + sx * 6, y), (x + sx * 6, y + sy * 2), (x + sx * 2, y + sy * 2),
                    (x + sx * 2, y + sy * 6), (x, y + sy * 6)], NOIR)


faire("plein_ecran", 19, 19, plein_ecran)


# How the preview plays, 15 x 15: round and round; the last frames, then the camera.
def en_boucle(t):
    t.anneau(7.5, 8, 6, 2.2, BLEU, -40, 215)
    t.polygone([(1.2, 1.8), (7.6, 3.8), (2.6, 8.6)], BLEU)


def fin_camera(t):
    lecture(t, 3.5, 7.5, 3.5)
    t.rect(7, 4.5, 8, 7, GRIS)
    t.rect(10, 3, 3, 2, GRIS)
    t.disque(11, 8, 2.2, NOIR)
    t.disque(11, 8, 1.2, BLEU_CLAIR)


faire("en_boucle", 15, 15, en_boucle)
faire("fin_camera", 15, 15, fin_camera)

# Volume mixer button of the recording window, 41 x 41: three faders.
def melangeur(t):
    for i, niveau in enumerate((0.35, 0.7, 0.5)):
        x = 8 + i * 10
        t.rect(x, 3, 3, 31, GRIS)
        y = 3 + 31 * (1 - niveau)
        t.rect(x - 3.5, y - 3, 10, 6, BLEU)


faire("melangeur", 37, 37, melangeur)

# Folder button of the project dialogs.
faire("dossier", 26, 26, lambda t: dossier(t, 1, 3, 24, 20))


def placeholder(nom):
    """160 x 120, 24 bits, white with a one-pixel black border."""
    l, h = 160, 120
    pas = (l * 3 + 3) // 4 * 4
    lignes = b""
    for y in range(h):
        ligne = bytearray()
        for x in range(l):
            bord = x in (0, l - 1) or y in (0, h - 1)
            ligne += bytes([0, 0, 0] if bord else [255, 255, 255])
        lignes += bytes(ligne) + bytes(pas - len(ligne))
    entete = b"BM" + struct.pack("<IHHI", 54 + len(lignes), 0, 0, 54)
    entete += struct.pack("<IiiHHIIiiII", 40, l, h, 1, 24, 0, len(lignes), 2835, 2835, 0, 0)
    with open(nom, "wb") as f:
        f.write(entete + lignes)


placeholder("../images/vide.bmp")

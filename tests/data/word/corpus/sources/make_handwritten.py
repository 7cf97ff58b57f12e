#!/usr/bin/env python3
"""Writes the hand-made RTF documents of the corpus, in the styles other word
processors write (their header tables, theme and data-store groups after the
body, frames, shapes, old-style numbering, Mac, DOS and double-byte code
pages):  python3 make_handwritten.py OUTDIR"""
import os, sys

FONTS_1252 = r"{\fonttbl{\f0\froman\fcharset0\fprq2 Times New Roman;}{\f1\fswiss\fcharset0\fprq2 Arial;}{\f2\fnil\fcharset2\fprq2 Symbol;}{\f3\froman\fcharset204\fprq2 Times New Roman Cyr;}}"
COLORS = r"{\colortbl;\red0\green0\blue0;\red0\green0\blue255;\red255\green0\blue0;}"
WORD_HEAD = (r"{\*\defchp \f0\fs24\lang1033\langfe1033}{\*\defpap \ql \li0\ri0\sa160\sl259\slmult1}"
             r"{\stylesheet{\ql \li0\ri0\sa160\sl259\slmult1\widctlpar\f0\fs24\lang1033 \snext0 \sqformat \spriority0 Normal;}"
             r"{\*\cs10 \additive \ssemihidden Default Paragraph Font;}{\s1\ql \sb240\keepn\f1\fs32 \sbasedon0 \snext0 heading 1;}}"
             r"{\*\listtable{\list\listtemplateid1\listhybrid{\listlevel\levelnfc0\levelnfcn0\leveljc0\leveljcn0\levelfollow0\levelstartat1\levelspace0\levelindent0"
             r"{\leveltext\leveltemplateid67698703\'02\'00.;}{\levelnumbers\'01;}\rtlch\fcs1 \af0 \ltrch\fcs0 \fi-360\li720\lin720 }\listid1}}"
             r"{\*\listoverridetable{\listoverride\listid1\listoverridecount0\ls1}}"
             r"{\*\rsidtbl \rsid1120\rsid6037}{\mmathPr\mmathFont34\mbrkBin0}"
             r"{\info{\title Corpus sample}{\author Ann}{\creatim\yr2024\mo1\dy2\hr10\min5}{\nofpages1}}"
             r"{\*\xmlnstbl {\xmlns1 http://schemas.microsoft.com/office/word/2003/wordml}}"
             r"\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440\gutter0\ltrsect \widowctrl\ftnbj\aenddoc\trackmoves0\trackformatting1\donotembedsysfont1"
             r"\viewkind1\viewscale100\rsidroot6037 {\*\fchars !),.:\'3b?]\'7d}{\*\lchars ([\'7b}\fet0{\*\wgrsidtbl \wgrsid6037\wgrsid1120}\ilfomacatclnup0"
             r"\ltrpar \sectd \ltrsect\linex0\endnhere\sectlinegrid360\sectdefaultcl\sftnbj {\*\pnseclvl1\pnucrm\pnstart1\pnindent720\pnhang {\pntxta .}}")
TAIL = (r"{\*\themedata 504b030414000600080000002100e9de0fbfff0000001c020000130000005b436f6e74656e745f54797065735d2e786d6cac91cb4ec3301045f748fc83e52d4a"
        "\r\n9cb2400825e982c78ec7a27cc0c8992416c9d8b2a755fbf74cd25442a820166c2cd933f79e3be372bd1f07b5c3989ca74aaff2422b24eb1b475da5df374fd9ad}"
        r"{\*\colorschememapping 3c3f786d6c2076657273696f6e3d22312e302220656e636f64696e673d225554462d3822207374616e64616c6f6e653d22796573223f3e0d0a3c613a636c724d}"
        r"{\*\latentstyles\lsdstimax376\lsdlockeddef0\lsdsemihiddendef0\lsdunhideuseddef0\lsdqformatdef0\lsdprioritydef99{\lsdlockedexcept \lsdqformat1 \lsdpriority0 \lsdlocked0 Normal;"
        r"\lsdqformat1 \lsdpriority9 \lsdlocked0 heading 1;\lsdsemihidden1 \lsdunhideused1 \lsdpriority39 \lsdlocked0 toc 1;}}"
        r"{\*\datastore 01050000020000001800000050006100640064006900620020006f0072006900650073000000000000000000000000000000}")


def word(head_cp, body, tail=TAIL, fonts=FONTS_1252, charset=r"\ansi"):
    return (r"{\rtf1\adeflang1025%s%s\uc1\adeff0\deff0\stshfdbch0\stshfloch0\stshfhich0\stshfbi0\deflang1033\deflangfe1033\themelang1033"
            % (charset, head_cp)) + fonts + "\r\n" + COLORS + "\r\n" + WORD_HEAD + "\r\n" + body + tail + "}"


def run(text):
    return r"{\rtlch\fcs1 \af0 \ltrch\fcs0 \insrsid6037 " + text + "}"


def para(text, props=r"\ql \li0\ri0\sa160\sl259\slmult1\widctlpar\wrapdefault\aspalpha\aspnum\faauto\adjustright\rin0\lin0\itap0"):
    return r"\pard\plain \ltrpar" + props + r" \rtlch\fcs1 \af0\afs24\alang1025 \ltrch\fcs0 \f0\fs24\lang1033\langfe1033\cgrid\langnp1033\langfenp1033 " + run(text) + "\r\n\\par "


DOCS = {}
# Numbered list, a closing bookmark, theme, colour scheme, latent styles and a data store after the body.
DOCS["word-theme-list.rtf"] = word(r"\ansicpg1252",
    para("Introduction to the numbered part of the document.")
    + para("First numbered item", r"\ql \fi-360\li720\ri0\sa160\sl259\slmult1\widctlpar\wrapdefault\ls1\adjustright\rin0\lin720\itap0")
    + para("Second numbered item", r"\ql \fi-360\li720\ri0\sa160\sl259\slmult1\widctlpar\wrapdefault\ls1\adjustright\rin0\lin720\itap0")
    .replace(r"\par ", r"{\*\bkmkstart _GoBack}{\*\bkmkend _GoBack}\par ")
    + para("Last item, after it the document's own groups", r"\ql \fi-360\li720\ri0\sa160\sl259\slmult1\widctlpar\wrapdefault\ls1\adjustright\rin0\lin720\itap0")
    .replace("\r\n\\par ", "\r\n\\par {\\*\\bkmkend Final}"), tail=TAIL)
# A document that ends with a section break.
DOCS["word-final-sect.rtf"] = word(r"\ansicpg1252", para("Only section text.") + para("Ends with a section break.").replace(r"\par ", r"\sect "), tail="")
# Cyrillic: the document's code page is 1251, a field result and a bookmark name keep its bytes.
cyr = "Съешь же ещё этих мягких булок".encode("cp1251")
cyrtext = "".join("\\'%02x" % b if b > 127 else chr(b) for b in cyr)
DOCS["word-cyrillic-1251.rtf"] = word(r"\ansicpg1251",
    para(r"\f3 " + cyrtext)
    + para(r"{\*\bkmkstart " + cyrtext[:20] + r"}" + r"\f3 Поле: ".encode("cp1251").decode("latin1").replace("\u0000", "")
           .encode("latin1").decode("latin1") + r"{\field{\*\fldinst {\f3 DOCPROPERTY  Title }}{\fldrslt {\f3 " + cyrtext + r"}}}{\*\bkmkend " + cyrtext[:20] + "}")
    + para(r"\f0 caf\'e9 in a Western font, {\f3 caf\u233\'3f in a Cyrillic one}"))
# Mac and DOS documents.
DOCS["mac-roman.rtf"] = (r"{\rtf1\mac\ansicpg10000\deff0{\fonttbl{\f0\froman Times;}{\f1\fswiss Helvetica;}}" "\r"
                         r"{\colortbl;\red0\green0\blue0;}\paperw11900\paperh16840\margl1440\margr1440" "\r"
                         r"\pard\tx720\ql\f0\fs24 Caf\'8e cr\'8fme br\'96l\'8ee \'d2quoted\'d3 \'a0 \'a4 5\par" "\r"
                         r"\f1 Na\'95ve fa\'8dade \'d0 dash \'db\par" "\r" "}")
DOCS["dos-pc.rtf"] = (r"{\rtf1\pc\deff0{\fonttbl{\f0\fmodern Courier;}}" "\r\n"
                      r"\pard\plain\f0\fs20 Caf\'82 cr\'8ame \'9c 5 \'ab 1/2 \'e1 beta\par" "\r\n" r"\'b3 box \'c4\'c4 line \'81ber\par}")
DOCS["dos-pca.rtf"] = (r"{\rtf1\pca\deff0{\fonttbl{\f0\fmodern Courier;}}" "\r\n"
                       r"\pard\plain\f0\fs20 \'81ber caf\'82 \'ab half \'9d yen\'be copy \'b8\par}")
# Shift-JIS written as raw bytes, with trail bytes that are RTF's own characters.
sj = "ソフト表示、能力ボタンマ予定".encode("cp932")
DOCS["word-sjis-raw.rtf"] = (rb"{\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 MS Mincho;}{\f1\fswiss\fcharset0 Arial;}}"
                             + b"\r\n\\pard\\plain\\f0\\fs21 " + sj + rb"{\field{\*\fldinst TITLE}{\fldrslt " + "マソ".encode("cp932")
                             + rb"}} after\par \f1 Latin after\par }").decode("latin1")
# A shape and a frame: shapes before a framed paragraph, the frame's text, then body text.
SHP = (r"{\shp{\*\shpinst\shpleft0\shptop0\shpright2880\shpbottom720\shpfhdr0\shpbxcolumn\shpbxignore\shpbypara\shpbyignore\shpwr3\shpwrk0\shpfblwtxt0\shpz0\shplid1025"
       r"{\sp{\sn shapeType}{\sv 1}}{\sp{\sn fFlipH}{\sv 0}}{\shptxt \ltrpar \pard\plain \ltrpar\ql \f0\fs24 {\insrsid6037 Shape text}\par }}"
       r"{\shprslt{\*\do\dobxcolumn\dobypara\dodhgt8192\dprect\dpx0\dpy0\dpxsize2880\dpysize720}}}")
DOCS["word-shape-frame.rtf"] = word(r"\ansicpg1252",
    para("Body text before the frame.")
    + r"\pard\plain \ltrpar\ql " + run(SHP) + run(SHP.replace("1025", "1026"))
    + "\r\n" + r"\pard\plain \ltrpar\ql \li0\ri0\widctlpar\phmrg\posx1440\pvpara\posy200\absw3000\absh-800\dxfrtext180\dfrmtxtx180\dfrmtxty0\wraparound\f0\fs24 " + run("Framed text one") + r"\par "
    + r"Framed text two\par "
    + para("Body text after the frame."))
# A picture and a shape first in the body.
PNG = "89504e470d0a1a0a0000000d4948445200000002000000020802000000fdd49a73000000164944415478da63f8cfc0f09f81e13f03c37f0600" + "1efe05fb7e16c0c20000000049454e44ae426082"
DOCS["word-picture-first.rtf"] = word(r"\ansicpg1252",
    r"{\*\shppict{\pict{\*\picprop\shplid1025{\sp{\sn shapeType}{\sv 75}}}\picscalex100\picscaley100\piccropl0\piccropr0\piccropt0\piccropb0\picw53\pich53\picwgoal30\pichgoal30\pngblip\bliptag1 " + "\r\n" + PNG + r"}}{\nonshppict{\pict\picw53\pich53\picwgoal30\pichgoal30\wmetafile8 0100090000030000000000000000}}"
    + para("Caption after the picture."), tail="")
DOCS["word-shape-first.rtf"] = word(r"\ansicpg1252", r"\pard\plain " + SHP + para("Text after a first shape."), tail="")
# Old-style numbering, text after a field's result, a footnote mark, runs without a font.
PN = r"{\*\pn \pnlvlbody\ilvl0\ls0\pnrnot0\pndec\pnstart1\pnindent360\pnhang {\pntxta .}}"
DOCS["word95-pn.rtf"] = (r"{\rtf1\ansi\ansicpg1252\deff0\deflang1033{\fonttbl{\f0\froman\fcharset0 Times New Roman;}{\f1\fswiss\fcharset0 Arial;}}"
    r"{\stylesheet{\f1\fs20 \snext0 Normal;}}" "\r\n"
    r"\pard\plain\fs20 Plain paragraph in the style's font\par" "\r\n"
    r"\pard" + PN + r"\fi-360\li720 {\pntext\f0 1.\tab}First numbered\par" "\r\n"
    r"{\pntext\f0 2.\tab}Second numbered\par" "\r\n" r"{\pntext\f0 3.\tab}Third numbered\par" "\r\n"
    r"\pard Page {\field{\*\fldinst PAGE}{\fldrslt 1} of the text} and more" "\r\n" r"\par"
    r"\pard Footnote mark{{\super \chftn}{\footnote \pard\plain {\super \chftn} The note.}} after it\par}")
# Damaged text: escaped line breaks, overlong parameters, a broken fallback.
DOCS["damaged-escapes.rtf"] = (r"{\rtf1\ansi\deff0{\fonttbl{\f0 Times;}}\pard one\'0dtwo\'0athree\'0d\'0afour\par "
                               r"five\u233\'3?six \'4xseven\fs1234567890123 eight\par nine\li123456789012345 ten\par}")

if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, text in DOCS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(text.encode("latin1"))

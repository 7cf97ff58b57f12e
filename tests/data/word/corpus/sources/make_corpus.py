#!/usr/bin/env python3
"""Writes word-processor documents of many kinds as flat ODF (.fodt), for
LibreOffice to turn into RTF:
    python3 make_corpus.py OUTDIR [COUNT]
    soffice --headless --convert-to rtf --outdir OUTDIR OUTDIR/*.fodt
Each document mixes features (tables, lists, frames, shapes, pictures,
fields, footnotes, headers, bookmarks, sections) with text in one or more
scripts; the choice is seeded by the document's number, so runs repeat."""
import base64, random, struct, sys, zlib, os

SCRIPTS = {
    "latin": "Café crème, naïve façade — “quoted” 10 € ½ §5",
    "cyrillic": "Съешь же ещё этих мягких французских булок",
    "greek": "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία",
    "hebrew": "דג סקרן שט בים מאוכזב ולפתע מצא חברה",
    "arabic": "نص حكيم له سر قاطع وذو شأن عظيم",
    "chinese": "我能吞下玻璃而不伤身体。中文繁體字",
    "japanese": "いろはにほへと ちりぬるを カタカナ 漢字",
    "korean": "다람쥐 헌 쳇바퀴에 타고파",
    "thai": "เป็นมนุษย์สุดประเสริฐเลิศคุณค่า",
    "central": "Zażółć gęślą jaźń, Příliš žluťoučký kůň",
    "turkish": "Pijamalı hasta yağız şoföre çabucak güvendi",
    "symbols": "∑ ∞ ≠ → ☺ 😀 𝄞 ﬁ",
}

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
      'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:xlink="http://www.w3.org/1999/xlink" '
      'xmlns:dc="http://purl.org/dc/elements/1.1/" '
      'xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0"')


def png(w, h, seed):
    rows = b"".join(b"\0" + bytes(v for x in range(w) for v in ((x * 37 + seed) % 256, (y * 53) % 256, seed % 256))
                    for y in range(h))
    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def text(r, scripts):
    return esc(r.choice(scripts) and SCRIPTS[r.choice(scripts)])


def para(r, scripts, style=None):
    parts = [text(r, scripts)]
    k = r.random()
    if k < 0.2:
        parts.append('<text:span text:style-name="T1">bold words</text:span>')
    elif k < 0.35:
        parts.append('<text:tab/>after tab<text:line-break/>next line')
    elif k < 0.45:
        parts.append('<text:span text:style-name="T2">%s</text:span>' % text(r, scripts))
    st = ' text:style-name="%s"' % style if style else ""
    return "<text:p%s>%s</text:p>" % (st, " ".join(parts))


def block(r, kind, scripts, n):
    if kind == "table":
        cols = r.randint(2, 4)
        rows = []
        for y in range(r.randint(2, 4)):
            cells = "".join('<table:table-cell><text:p>%s %d.%d</text:p></table:table-cell>' % (text(r, scripts)[:12], y, x)
                            for x in range(cols))
            rows.append("<table:table-row>%s</table:table-row>" % cells)
        if r.random() < 0.4:
            rows.append('<table:table-row><table:table-cell table:number-columns-spanned="%d"><text:p>merged %s</text:p></table:table-cell>%s</table:table-row>'
                        % (cols, text(r, scripts)[:10], "<table:covered-table-cell/>" * (cols - 1)))
        return ('<table:table table:name="T%d"><table:table-column table:number-columns-repeated="%d"/>%s</table:table>'
                % (n, cols, "".join(rows)))
    if kind == "list":
        items = "".join("<text:list-item>%s</text:list-item>" % para(r, scripts) for _ in range(r.randint(2, 4)))
        if r.random() < 0.5:
            items += ("<text:list-item><text:list>%s</text:list></text:list-item>"
                      % "".join("<text:list-item>%s</text:list-item>" % para(r, scripts) for _ in range(2)))
        return '<text:list text:style-name="%s">%s</text:list>' % (r.choice(["L1", "L2"]), items)
    if kind == "frame":
        return ('<text:p>%s<draw:frame draw:name="Frame%d" text:anchor-type="paragraph" svg:width="5cm" svg:x="%dcm" svg:y="0.5cm">'
                '<draw:text-box fo:min-height="1cm"><text:p>%s</text:p></draw:text-box></draw:frame></text:p>'
                % (text(r, scripts), n, r.randint(0, 8), text(r, scripts)))
    if kind == "shape":
        anchor = r.choice(["paragraph", "char", "as-char", "page"])
        page = ' text:anchor-page-number="1"' if anchor == "page" else ""
        shape = r.choice([
            '<draw:rect draw:name="R%d" text:anchor-type="%s"%s svg:width="3cm" svg:height="1.5cm" svg:x="2cm" svg:y="1cm"><text:p>%s</text:p></draw:rect>',
            '<draw:line draw:name="L%d" text:anchor-type="%s"%s svg:x1="1cm" svg:y1="1cm" svg:x2="6cm" svg:y2="2cm"/>%s',
            '<draw:ellipse draw:name="E%d" text:anchor-type="%s"%s svg:width="2cm" svg:height="2cm" svg:x="9cm" svg:y="0cm"><text:p>%s</text:p></draw:ellipse>',
        ])
        inner = shape % (n, anchor, page, text(r, scripts)[:15])
        if anchor == "page":
            return inner + para(r, scripts)
        return "<text:p>%s %s</text:p>" % (inner, text(r, scripts))
    if kind == "picture":
        data = base64.b64encode(png(r.randint(4, 12), r.randint(4, 12), n)).decode()
        anchor = r.choice(["paragraph", "as-char", "char"])
        return ('<text:p>%s<draw:frame draw:name="Pic%d" text:anchor-type="%s" svg:width="2cm" svg:height="2cm">'
                '<draw:image><office:binary-data>%s</office:binary-data></draw:image></draw:frame> %s</text:p>'
                % (text(r, scripts) if r.random() < 0.7 else "", n, anchor, data, text(r, scripts)))
    if kind == "fields":
        return ('<text:p>Page <text:page-number text:select-page="current">1</text:page-number> of '
                '<text:page-count>1</text:page-count>, date <text:date>2024-01-01</text:date>, '
                'title <text:title>Corpus</text:title>, author <text:initial-creator>Ann</text:initial-creator>. %s</text:p>'
                % text(r, scripts))
    if kind == "footnote":
        cls = r.choice(["footnote", "endnote"])
        return ('<text:p>%s<text:note text:id="n%d" text:note-class="%s"><text:note-citation>1</text:note-citation>'
                '<text:note-body><text:p>%s</text:p></text:note-body></text:note> %s</text:p>'
                % (text(r, scripts), n, cls, text(r, scripts), text(r, scripts)))
    if kind == "bookmark":
        return ('<text:p><text:bookmark-start text:name="B%d"/>%s<text:bookmark-end text:name="B%d"/> '
                '<text:a xlink:type="simple" xlink:href="https://example.org/?q=%d&amp;x={y}">a link</text:a></text:p>'
                % (n, text(r, scripts), n, n))
    if kind == "section":
        return ('<text:section text:style-name="Sect1" text:name="S%d">%s%s</text:section>'
                % (n, para(r, scripts), para(r, scripts)))
    if kind == "pagebreak":
        return para(r, scripts, "PB")
    return para(r, scripts)


def document(i):
    r = random.Random(i)
    names = list(SCRIPTS)
    scripts = [names[i % len(names)]] + r.sample(names, r.randint(0, 2))
    kinds = ["para", "table", "list", "frame", "shape", "picture", "fields", "footnote", "bookmark", "section", "pagebreak"]
    body = []
    for n in range(r.randint(3, 9)):
        body.append(block(r, r.choice(kinds), scripts, n))
    if r.random() < 0.3:  # a table, a frame or a picture last: nothing after it
        body.append(block(r, r.choice(["table", "frame", "picture", "list"]), scripts, 99))
    header = ""
    if r.random() < 0.5:
        header = ('<style:header><text:p>%s <text:page-number>1</text:page-number></text:p></style:header>'
                  '<style:footer><text:p>%s</text:p></style:footer>' % (text(r, scripts)[:20], text(r, scripts)[:20]))
    return f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document {NS} office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:meta><dc:title>Corpus {i}</dc:title><meta:initial-creator>Ann</meta:initial-creator></office:meta>
 <office:styles>
  <text:list-style style:name="L1"><text:list-level-style-bullet text:level="1" text:bullet-char="•"/><text:list-level-style-bullet text:level="2" text:bullet-char="◦"/></text:list-style>
  <text:list-style style:name="L2"><text:list-level-style-number text:level="1" style:num-format="1" style:num-suffix="."/><text:list-level-style-number text:level="2" style:num-format="a" style:num-suffix=")"/></text:list-style>
 </office:styles>
 <office:automatic-styles>
  <style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="T2" style:family="text"><style:text-properties fo:font-style="italic" fo:color="#c00000"/></style:style>
  <style:style style:name="PB" style:family="paragraph"><style:paragraph-properties fo:break-before="page"/></style:style>
  <style:style style:name="Sect1" style:family="section"><style:section-properties><style:columns fo:column-count="2"/></style:section-properties></style:style>
  <style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"/><style:header-style/><style:footer-style/></style:page-layout>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1">{header}</style:master-page></office:master-styles>
 <office:body><office:text>
  {"".join(body)}
 </office:text></office:body>
</office:document>
'''


if __name__ == "__main__":
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    os.makedirs(out, exist_ok=True)
    for i in range(count):
        with open(os.path.join(out, "lo-%03d.fodt" % i), "w", encoding="utf-8") as f:
            f.write(document(i))

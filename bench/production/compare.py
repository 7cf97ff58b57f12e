#!/usr/bin/env python3
"""Production of a document with a repeating table row over N records, side by
side in one run:

  qzstudio      the production engine: an RTF template with a loop statement
                and four expression fields, data from a saved recordset (XML),
                and again from an SQLite database through the template's own
                connection (--connections)
  jinja2        the same RTF text rendered by Jinja2, data from JSON
  docxtemplater an equivalent .docx table row filled by docxtemplater (node),
                data from JSON

Each producer runs as its own process (reading its data, writing its
document); the figures are records per second of wall time (best of three
runs) and the process's peak resident memory. With --pairs P, qzstudio
(SQLite) and each peer then run in turn P times, and the median of the
pair-by-pair ratios peer time / qzstudio time is printed (above 1: qzstudio
is faster by that factor); pairing keeps the ratio meaningful on a machine
whose speed drifts. Usage:

  compare.py --qzstudio build/apps/qzstudio/qzstudio --measure build/bench/production/qz_measure
             [--node-modules DIR] [--n 1000 10000 100000] [--pairs 30]

docxtemplater is taken from --node-modules (installed there with npm when
missing: `npm install --prefix DIR docxtemplater pizzip`).
"""
import argparse
import json
import sqlite3
import os
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "examples"))
import make_example as ex  # noqa: E402  (the designer's field layout)

QZC = ("<QZC><TemplateProperties><Version>8.2.2</Version><FileName/><RevisionKeep>12</RevisionKeep>"
       "<Locale>1033</Locale><DateTimeFormat>DateTime:2;BlankProtect:0</DateTimeFormat>"
       "<StringFormat>MaxLength:0;BlankProtect:0</StringFormat>"
       "<NumberFormat>NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0</NumberFormat>"
       "<CurrencyFormat>NumDigits:2;LeadingDigit:-1;UseParensForNeg:-1;GroupDigits:-1;BlankProtect:0</CurrencyFormat>"
       "<PercentFormat>NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0</PercentFormat>"
       "</TemplateProperties><ConnectionList/></QZC>")

HEAD = ("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}"
        "{\\f1\\fnil\\fcharset2 Wingdings;}{\\f2\\fswiss Arial;}}\r\n")
ROW = "\\trowd\\trgaph108\\cellx5600\\cellx6600\\cellx8200\\cellx9800\r\n"


def qz_template():
    cell = "\\pard\\plain\\intbl\\f2\\fs20 "
    return (HEAD + "\\pard\\plain\\f2\\fs20 Order lines\\par\r\n"
            + ex.stmt("Loop", "Do While Not Lines.EOF") + ROW
            + cell + ex.expr("Description", ex.line("Description"), "String;UseDefaultProperties:-1") + "\\cell "
            + cell + ex.expr("Quantity", ex.line("Quantity"), "Number;UseDefaultProperties:-1") + "\\cell "
            + cell + ex.expr("Unit price", ex.line("UnitPrice"), "Currency;UseDefaultProperties:-1") + "\\cell "
            + cell + ex.expr("Amount", ex.line("Amount"), "Currency;UseDefaultProperties:-1") + "\\cell "
            + "\\row\r\n" + ex.stmt("Next", "Lines.MoveNext\nLoop") + "\\pard\\plain\\f2\\fs20 End\\par }")


JINJA_DRIVER = r'''
import json, sys, jinja2
def rtf(v):
    s = str(v).replace("\\", "\\\\").replace("{", "\\{").replace("}", "\\}")
    out = []
    for ch in s:
        if ord(ch) < 128: out.append(ch)
        else:
            try: out.append(ch.encode("cp1252").decode("latin-1"))
            except UnicodeEncodeError: out.append("\\u%d?" % (ord(ch) if ord(ch) < 32768 else ord(ch) - 65536))
    return "".join(out)
def number(v): return "{:,.0f}".format(v)
def currency(v): return ("(${:,.2f})" if v < 0 else "${:,.2f}").format(abs(v))
env = jinja2.Environment(autoescape=False)
env.filters.update(rtf=rtf, number=number, currency=currency)
with open(sys.argv[1], encoding="cp1252") as f: t = env.from_string(f.read())
with open(sys.argv[2]) as f: data = json.load(f)
with open(sys.argv[3], "w", encoding="latin-1", newline="") as f:
    for chunk in t.generate(lines=data): f.write(chunk)
'''

JINJA_TEMPLATE = (HEAD + "\\pard\\plain\\f2\\fs20 Order lines\\par\r\n"
                  "{% for l in lines %}" + ROW
                  + "\\pard\\plain\\intbl\\f2\\fs20 {\\f2\\fs20\\cf0 {{ l.Description|rtf }}}\\cell "
                  + "\\pard\\plain\\intbl\\f2\\fs20 {\\f2\\fs20\\cf0 {{ l.Quantity|number }}}\\cell "
                  + "\\pard\\plain\\intbl\\f2\\fs20 {\\f2\\fs20\\cf0 {{ l.UnitPrice|currency|rtf }}}\\cell "
                  + "\\pard\\plain\\intbl\\f2\\fs20 {\\f2\\fs20\\cf0 {{ l.Amount|currency|rtf }}}\\cell "
                  + "\\row\r\n{% endfor %}\\pard\\plain\\f2\\fs20 End\\par }")

DOCX_DRIVER = r'''
const fs = require("fs");
const PizZip = require("pizzip");
const Docxtemplater = require("docxtemplater");
const fmt = new Intl.NumberFormat("en-US", {maximumFractionDigits: 0});
const cur = new Intl.NumberFormat("en-US", {style: "currency", currency: "USD"});
const data = JSON.parse(fs.readFileSync(process.argv[3], "utf8"));
const lines = data.map(l => ({Description: l.Description, Quantity: fmt.format(l.Quantity),
                              UnitPrice: cur.format(l.UnitPrice), Amount: cur.format(l.Amount)}));
const zip = new PizZip(fs.readFileSync(process.argv[2]));
const doc = new Docxtemplater(zip, {paragraphLoop: true, linebreaks: true});
doc.render({lines});
fs.writeFileSync(process.argv[4], doc.getZip().generate({type: "nodebuffer", compression: "DEFLATE"}));
'''


def docx_template(path):
    w = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'

    def cell(text, width):
        return ('<w:tc><w:tcPr><w:tcW w:w="%d" w:type="dxa"/></w:tcPr><w:p><w:r><w:rPr><w:rFonts w:ascii="Arial" '
                'w:hAnsi="Arial"/><w:sz w:val="20"/></w:rPr><w:t xml:space="preserve">%s</w:t></w:r></w:p></w:tc>'
                % (width, text))
    row = ("<w:tr>" + cell("{#lines}{Description}", 5600) + cell("{Quantity}", 1000) + cell("{UnitPrice}", 1600)
           + cell("{Amount}{/lines}", 1600) + "</w:tr>")
    body = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document %s><w:body>'
            '<w:p><w:r><w:t>Order lines</w:t></w:r></w:p><w:tbl><w:tblPr><w:tblW w:w="9800" w:type="dxa"/></w:tblPr>'
            '<w:tblGrid><w:gridCol w:w="5600"/><w:gridCol w:w="1000"/><w:gridCol w:w="1600"/><w:gridCol w:w="1600"/>'
            '</w:tblGrid>%s</w:tbl><w:p><w:r><w:t>End</w:t></w:r></w:p><w:sectPr/></w:body></w:document>' % (w, row))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Types xmlns="http://schemas.openxmlformats.org/'
                   'package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-'
                   'package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override '
                   'PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.'
                   'wordprocessingml.document.main+xml"/></Types>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.'
                   'openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.'
                   'openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
                   '</Relationships>')
        z.writestr("word/document.xml", body)


def data(n):
    words = ["Espresso machine", "Burr grinder", "Porcelain cups", "Descaling tablets", "Service contract",
             "Milk jug", "Tamper {steel}", "Caf\u00e9 cr\u00e8me blend", "Knock box", "Water filter"]
    rows = []
    for i in range(n):
        q = 1 + i % 17
        price = round(3.5 + (i * 7919 % 100000) / 100.0, 2)
        rows.append({"LineNo": i + 1, "Description": "%s no. %d" % (words[i % len(words)], i), "Quantity": q,
                     "UnitPrice": price, "Amount": round(q * price, 2)})
    return rows


def saved_recordset(rows, path):
    types = {"LineNo": "int", "Description": "string", "Quantity": "int", "UnitPrice": "currency",
             "Amount": "currency"}

    class Cursor:
        description = [(k,) for k in types]

        def execute(self, sql):
            pass

        def fetchall(self):
            return [tuple(r[k] for k in types) for r in rows]
    with open(path, "w", encoding="utf-8") as f:
        f.write(ex.saved_recordset(Cursor(), "", types))


MEASURE = None  # the qz_measure helper: starts a command from a small process


def run(cmd, env=None, repeat=3):
    """Runs a command `repeat` times; returns (best seconds, peak resident MB)."""
    best, peak = None, 0.0
    for _ in range(repeat):
        proc = subprocess.run([MEASURE] + cmd, capture_output=True, env=env)
        if proc.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (cmd[0], proc.returncode,
                                                       proc.stderr.decode(errors="replace")[-2000:]))
        seconds, mb = proc.stdout.decode().split()[-2:]
        best = float(seconds) if best is None else min(best, float(seconds))
        peak = max(peak, float(mb))
    return best, peak


def paired(ours, peer, pairs, env=None):
    """The median of peer seconds / our seconds over `pairs` runs in turn."""
    ratios = sorted(run(peer, env, 1)[0] / run(ours, None, 1)[0] for _ in range(pairs))
    mid = len(ratios) // 2
    return ratios[mid] if len(ratios) % 2 else (ratios[mid - 1] + ratios[mid]) / 2


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--qzstudio", required=True)
    ap.add_argument("--measure", required=True, help="the qz_measure helper (bench/production)")
    ap.add_argument("--node-modules", default=None)
    ap.add_argument("--n", type=int, nargs="+", default=[1000, 10000, 100000])
    ap.add_argument("--pairs", type=int, default=0, help="paired runs against each peer (0: none)")
    a = ap.parse_args()
    global MEASURE
    MEASURE = os.path.abspath(a.measure)

    work = tempfile.mkdtemp(prefix="qzbench-")
    with open(os.path.join(work, "lines.rtf"), "wb") as f:
        f.write(qz_template().encode("ascii"))
    with open(os.path.join(work, "lines.qzc"), "w") as f:
        f.write(QZC)
    with open(os.path.join(work, "linesdb.rtf"), "wb") as f:
        f.write(qz_template().encode("ascii"))
    with open(os.path.join(work, "linesdb.qzc"), "w") as f:
        f.write(QZC.replace("<ConnectionList/>",
                            "<ConnectionList><Connection ID=\"ID1\"><Name>Db</Name><DataSource>"
                            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lines.db</DataSource>"
                            "<ConnectionType>0</ConnectionType><CommandList><Command ID=\"ID1\">"
                            "<Name>Lines</Name><Text>SELECT LineNo, Description, Quantity, UnitPrice, Amount "
                            "FROM Lines ORDER BY LineNo</Text></Command></CommandList></Connection>"
                            "</ConnectionList>"))
    with open(os.path.join(work, "jinja.rtf"), "w", encoding="cp1252") as f:
        f.write(JINJA_TEMPLATE)
    with open(os.path.join(work, "jinja_driver.py"), "w") as f:
        f.write(JINJA_DRIVER)
    docx_template(os.path.join(work, "lines.docx"))
    node_ok = False
    if a.node_modules:
        with open(os.path.join(work, "docx_driver.js"), "w") as f:
            f.write(DOCX_DRIVER)
        node_ok = os.path.isdir(os.path.join(a.node_modules, "node_modules", "docxtemplater"))
    env_node = dict(os.environ, NODE_PATH=os.path.join(a.node_modules or "", "node_modules"))

    print("%-8s | %-32s | %-22s | %-22s | %-22s" % (
        "N", "qzstudio (XML) rec/s, peak MB", "qzstudio (SQLite)", "jinja2", "docxtemplater"))
    for n in a.n:
        rows = data(n)
        saved_recordset(rows, os.path.join(work, "lines.xml"))
        with open(os.path.join(work, "lines.json"), "w") as f:
            json.dump(rows, f)
        db = os.path.join(work, "lines.db")
        if os.path.exists(db):
            os.remove(db)
        con = sqlite3.connect(db)
        con.execute("CREATE TABLE Lines (LineNo INTEGER, Description TEXT, Quantity INTEGER, "
                    "UnitPrice MONEY, Amount MONEY)")
        con.executemany("INSERT INTO Lines VALUES (?, ?, ?, ?, ?)",
                        [(r["LineNo"], r["Description"], r["Quantity"], r["UnitPrice"], r["Amount"]) for r in rows])
        con.commit()
        con.close()
        t, m = run([a.qzstudio, "produce", os.path.join(work, "lines.rtf"), "-o", os.path.join(work, "qz_out.rtf"),
                    "--xml-recordset", "Lines=" + os.path.join(work, "lines.xml")])
        out_mb = os.path.getsize(os.path.join(work, "qz_out.rtf")) / 1e6
        qz = "%8.0f, %6.1f (out %.1f MB)" % (n / t, m, out_mb)
        ours = [a.qzstudio, "produce", os.path.join(work, "linesdb.rtf"), "-o", os.path.join(work, "db_out.rtf"),
                "--connections"]
        t, m = run(ours)
        qzdb = "%8.0f, %6.1f" % (n / t, m)
        jinja = [sys.executable, os.path.join(work, "jinja_driver.py"), os.path.join(work, "jinja.rtf"),
                 os.path.join(work, "lines.json"), os.path.join(work, "jinja_out.rtf")]
        t, m = run(jinja)
        jj = "%8.0f, %6.1f" % (n / t, m)
        dx = "(not installed)"
        docx = ["node", os.path.join(work, "docx_driver.js"), os.path.join(work, "lines.docx"),
                os.path.join(work, "lines.json"), os.path.join(work, "docx_out.docx")]
        if node_ok:
            t, m = run(docx, env=env_node)
            dx = "%8.0f, %6.1f" % (n / t, m)
        print("%-8d | %-32s | %-22s | %-22s | %-22s" % (n, qz, qzdb, jj, dx), flush=True)
        if a.pairs > 0:
            line = "  paired (%d), peer time / qzstudio (SQLite) time, median: jinja2 %.2f" % (
                a.pairs, paired(ours, jinja, a.pairs))
            if node_ok:
                line += ", docxtemplater %.2f" % paired(ours, docx, a.pairs, env_node)
            print(line, flush=True)


if __name__ == "__main__":
    main()

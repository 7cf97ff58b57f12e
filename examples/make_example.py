#!/usr/bin/env python3
"""Builds the invoice example from invoice.sql:

  invoice.db          the SQLite database
  invoice.qzc         the template's configuration: properties, the connection
                      to invoice.db and its two commands (Invoice, Lines)
  invoice.rtf         the template, written the way the designer's word
                      processor saves it: every field a MACROBUTTON field whose
                      instruction holds the two delimiters (nested SYMBOL
                      fields), the label and a nested SET field with the payload
  data/Invoice.xml,
  data/Lines.xml      the two commands' results as saved recordsets (XML)

Run it again after changing the SQL or the layout; the outputs are committed.
"""
import datetime
import os
import sqlite3
from xml.sax.saxutils import quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))

INVOICE_SQL = ("SELECT i.InvoiceNo, i.InvoiceDate, i.DueDate, c.Name AS CustomerName, "
               "c.Contact, c.Street, c.City, c.Country, i.VatRate, i.Discount, i.Notes "
               "FROM Invoice i INNER JOIN Customer c ON c.CustomerId = i.CustomerId "
               "WHERE i.InvoiceNo = '2026-0117'")
LINES_SQL = ("SELECT LineNo, Description, Quantity, UnitPrice, Quantity * UnitPrice AS Amount "
             "FROM InvoiceLine WHERE InvoiceNo = '2026-0117' ORDER BY LineNo")

FONT = "\\f2\\fs20\\cf0 "   # the text format the fields' SET instructions open with


# --- RTF text ----------------------------------------------------------------

def rtf_text(text):
    """Plain text as the designer writes it into RTF."""
    out = []
    for ch in text:
        if ch in "{}":
            out.append("\\" + ch)
        elif ch == "\\":
            out.append("\\'5c")
        elif ord(ch) < 0x80:
            out.append(ch)
        else:
            try:
                b = ch.encode("cp1252")
                out.append("\\'%02x" % b[0])
            except UnicodeEncodeError:
                n = ord(ch)
                out.append("\\u%d\\'3f" % (n - 65536 if n > 32767 else n))
    return "".join(out)


def symbol(code, shown, unicode=False):
    switch = " \\'5cu" if unicode else ""
    return ("{\\field{\\*\\fldinst SYMBOL %d \\'5cf \"Wingdings\"%s}{\\fldrslt{\\f1 %s}}}"
            % (code, switch, shown))


def field(expression, label, payload):
    """One field of the system; payload is the SET code after the field name."""
    if expression:
        macro, name, colour = "modExpressionMacro", "QZExpression377", 9
        opening = closing = symbol(61558, "\\u-3978?", True)
    else:
        macro, name, colour = "modStatementMacro", "QZStatement377", 6
        opening, closing = symbol(215, "\\'d7"), symbol(216, "\\'d8")
    return ("{\\field{\\*\\fldinst {\\cf0  MACROBUTTON %s }{\\cf%d %s%s%s}"
            "{\\cf0 {\\field{\\*\\fldinst {%s SET _%s %s}}{\\fldrslt }}}}"
            "{\\fldrslt {\\cf%d \\'ab%s\\'bb}}}"
            % (macro, colour, opening, rtf_text(label), closing, FONT, name, rtf_text(payload),
               colour, rtf_text(label)))


def stmt(label, code):
    return field(False, label, code.replace("\n", "_QZCRLF"))


def expr(label, code, fmt, locale="-1"):
    return field(True, label, code + "\u00a7" + fmt + "\u00a7" + locale)


def inv(col):
    return 'Invoice.Fields("%s").Value' % col


def line(col):
    return 'Lines.Fields("%s").Value' % col


def template():
    cells = [("Description", 5600, ""), ("Qty", 6600, "\\qr"), ("Unit price", 8200, "\\qr"),
             ("Amount", 9800, "\\qr")]

    def row_def(header):
        s = "\\trowd\\trgaph108\\trleft0"
        for _, x, _ in cells:
            s += ("\\clbrdrb\\brdrs\\brdrw15" if header else "\\clbrdrb\\brdrs\\brdrw5") + "\\cellx%d" % x
        return s

    p = "\\pard\\plain\\f2\\fs20 "
    body = []
    add = body.append
    add("\\pard\\plain\\qr\\f2\\fs20 {\\b Pellucid Coffee Equipment}\\line 4 Harbour Lane\\line "
        "Portsmouth PO1 3AX\\par\r\n")
    add(p + "{\\b\\fs36 INVOICE}\\par\r\n")
    add(p + "Invoice no.\\tab " + expr("Invoice no.", inv("InvoiceNo"), "String;MaxLength:0;BlankProtect:-1")
        + "\\par\r\n")
    add(p + "Date\\tab " + expr("Invoice date", inv("InvoiceDate"), "Date/Time;DateTime:1;BlankProtect:0")
        + " (" + expr("Date in French", inv("InvoiceDate"), "Date/Time;DateTime:1;BlankProtect:0", "1036")
        + ")\\par\r\n")
    add(p + "Due\\tab " + expr("Due date", inv("DueDate"), "Date/Time;UseDefaultProperties:-1") + "\\par\r\n")
    add(p + "\\par\r\n")
    add(p + "{\\b Bill to}\\par\r\n")
    add(p + expr("Customer", inv("CustomerName"), "String;MaxLength:40;BlankProtect:0") + "\\par\r\n")
    add(p + "Attn. " + expr("Contact", inv("Contact"), "String;UseDefaultProperties:-1") + "\\par\r\n")
    add(p + expr("Street", inv("Street"), "String;UseDefaultProperties:-1") + "\\par\r\n")
    add(p + expr("City", inv("City"), "String;UseDefaultProperties:-1") + "\\par\r\n")
    add(p + expr("Country", inv("Country"), "String;UseDefaultProperties:-1") + "\\par\r\n")
    add(p + "\\par\r\n")
    # Header row of the table.
    add(row_def(True) + "\r\n")
    for title, _, align in cells:
        add("\\pard\\plain\\intbl%s\\f2\\fs20 {\\b %s}\\cell " % (align, title))
    add("\\row\r\n")
    # The repeating row: the loop opens before the row and closes after it.
    add(p + stmt("Lines loop", "nSubtotal = 0\nDo While Not Lines.EOF") + row_def(False) + "\r\n")
    add("\\pard\\plain\\intbl\\f2\\fs20 " + expr("Description", line("Description"), "String;UseDefaultProperties:-1")
        + "\\cell ")
    add("\\pard\\plain\\intbl\\qr\\f2\\fs20 " + expr("Quantity", line("Quantity"),
        "Number;NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0") + "\\cell ")
    add("\\pard\\plain\\intbl\\qr\\f2\\fs20 " + expr("Unit price", line("UnitPrice"),
        "Currency;UseDefaultProperties:-1") + "\\cell ")
    add("\\pard\\plain\\intbl\\qr\\f2\\fs20 " + expr("Amount", line("Amount"),
        "Currency;UseDefaultProperties:-1") + "\\cell ")
    add("\\row\r\n")
    add(p + stmt("Next line", "nSubtotal = nSubtotal + " + line("Amount") + "\nLines.MoveNext\nLoop")
        + stmt("Totals", "nDiscount = Round(nSubtotal * " + inv("Discount") + ", 2)\n"
                         "nNet = nSubtotal - nDiscount\n"
                         "nVat = Round(nNet * " + inv("VatRate") + ", 2)\n"
                         "nTotal = nNet + nVat")
        + "\\par\r\n")
    total = "\\pard\\plain\\tqr\\tx9800\\f2\\fs20 "
    add(total + "Subtotal\\tab " + expr("Subtotal", "nSubtotal", "Currency;UseDefaultProperties:-1") + "\\par\r\n")
    # A condition: the discount paragraph only when there is a discount.
    add(total + stmt("If discount", "If " + inv("Discount") + " > 0 Then") + "Discount "
        + expr("Discount rate", inv("Discount"),
               "Percent;NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0")
        + "\\tab -" + expr("Discount", "nDiscount", "Currency;UseDefaultProperties:-1") + "\\par\r\n")
    add(total + stmt("End if discount", "End If") + "VAT "
        + expr("VAT rate", inv("VatRate"),
               "Percent;NumDigits:1;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0")
        + "\\tab " + expr("VAT", "nVat", "Currency;UseDefaultProperties:-1") + "\\par\r\n")
    add(total + "{\\b Total due\\tab " + expr("Total", "nTotal", "Currency;UseDefaultProperties:-1") + "}\\par\r\n")
    add(p + "\\par\r\n")
    add(p + "Notes: " + expr("Notes", inv("Notes"), "String;UseDefaultProperties:-1") + "\\par\r\n")
    add(p + "{\\i Payment within 30 days \\'96 thank you for your order.}\\par }")

    colours = "".join("\\red%d\\green%d\\blue%d;" % c for c in [
        (0, 0, 0), (0, 0, 255), (0, 255, 255), (0, 255, 0), (255, 0, 255), (255, 0, 0),
        (255, 255, 0), (255, 255, 255), (0, 0, 128), (0, 128, 128), (0, 128, 0), (128, 0, 128),
        (128, 0, 0), (128, 128, 0), (128, 128, 128), (192, 192, 192)])
    head = ("{\\rtf1\\ansi\\ansicpg1252\\deff0\r\n"
            "{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}{\\f1\\fnil\\fcharset2 Wingdings;}"
            "{\\f2\\fswiss\\fcharset0 Arial;}}\r\n"
            "{\\colortbl;" + colours + "}\r\n"
            "{\\*\\userprops{\\propname QzVersion}\\proptype30{\\staticval 8.2.2}}\r\n"
            "\\paperw11906\\paperh16838\\margl1134\\margr1134\\margt1134\\margb1134\r\n"
            "\\sectd\\pgwsxn11906\\pghsxn16838\\marglsxn1134\\margrsxn1134\r\n")
    return head + "".join(body)


# --- configuration -------------------------------------------------------------

def qzc():
    def el(name, value=""):
        return "<%s>%s</%s>" % (name, value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;"), name)
    props = "".join([
        el("Version", "8.2.2"), el("FileName"), el("RevisionKeep", "12"), el("Locale", "1033"),
        el("DateTimeFormat", "DateTime:2;BlankProtect:0"),
        el("StringFormat", "MaxLength:0;BlankProtect:0"),
        el("NumberFormat", "NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0"),
        el("CurrencyFormat", "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-1;GroupDigits:-1;BlankProtect:-1"),
        el("PercentFormat", "NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0"),
    ])
    commands = ('<Command ID="ID1">' + el("Name", "Invoice") + el("Text", INVOICE_SQL) + "</Command>"
                '<Command ID="ID2">' + el("Name", "Lines") + el("Text", LINES_SQL) + "</Command>")
    connection = ('<Connection ID="ID1">' + el("Name", "Shop")
                  + el("DataSource", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=invoice.db")
                  + el("ConnectionType", "0") + "<CommandList>" + commands + "</CommandList></Connection>")
    return ("<QZC><TemplateProperties>" + props + "</TemplateProperties><ConnectionList>"
            + connection + "</ConnectionList></QZC>")


# --- saved recordsets ----------------------------------------------------------

def saved_recordset(cursor, sql, types):
    """The result of a query in the XML persistence format; types maps a
    column to its schema attributes."""
    cursor.execute(sql)
    names = [d[0] for d in cursor.description]
    rows = cursor.fetchall()
    out = ["<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
           "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
           "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
           "\txmlns:z='#RowsetSchema'>\n"
           "<s:Schema id='RowsetSchema'>\n"
           "\t<s:ElementType name='row' content='eltOnly'>\n"]
    for i, n in enumerate(names, 1):
        kind = types[n]
        out.append("\t\t<s:AttributeType name='%s' rs:number='%d' rs:nullable='true' rs:writeunknown='true'>\n" % (n, i))
        if kind == "string":
            out.append("\t\t\t<s:datatype dt:type='string' dt:maxLength='255'/>\n")
        elif kind == "int":
            out.append("\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true'/>\n")
        elif kind == "float":
            out.append("\t\t\t<s:datatype dt:type='float' dt:maxLength='8' rs:precision='15' rs:fixedlength='true'/>\n")
        elif kind == "currency":
            out.append("\t\t\t<s:datatype dt:type='number' rs:dbtype='currency' dt:maxLength='8' "
                       "rs:precision='19' rs:fixedlength='true'/>\n")
        elif kind == "date":
            out.append("\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='variantdate' dt:maxLength='16' "
                       "rs:fixedlength='true'/>\n")
        out.append("\t\t</s:AttributeType>\n")
    out.append("\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n<rs:data>\n")
    for row in rows:
        attrs = []
        for n, v in zip(names, row):
            if v is None:
                continue
            kind = types[n]
            if kind == "date":
                v = datetime.date.fromisoformat(v).isoformat() + "T00:00:00"
            elif kind == "currency":
                v = "%.4f" % v
            attrs.append("%s=%s" % (n, quoteattr(str(v))))
        out.append("\t<z:row " + " ".join(attrs) + "/>\n")
    out.append("</rs:data>\n</xml>\n")
    return "".join(out)


def main():
    db = os.path.join(HERE, "invoice.db")
    if os.path.exists(db):
        os.remove(db)
    con = sqlite3.connect(db)
    with open(os.path.join(HERE, "invoice.sql"), encoding="utf-8") as f:
        con.executescript(f.read())
    con.commit()
    cur = con.cursor()
    os.makedirs(os.path.join(HERE, "data"), exist_ok=True)
    with open(os.path.join(HERE, "data", "Invoice.xml"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(saved_recordset(cur, INVOICE_SQL, {
            "InvoiceNo": "string", "InvoiceDate": "date", "DueDate": "date", "CustomerName": "string",
            "Contact": "string", "Street": "string", "City": "string", "Country": "string",
            "VatRate": "float", "Discount": "float", "Notes": "string"}))
    with open(os.path.join(HERE, "data", "Lines.xml"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(saved_recordset(cur, LINES_SQL, {
            "LineNo": "int", "Description": "string", "Quantity": "int", "UnitPrice": "currency",
            "Amount": "currency"}))
    con.close()
    with open(os.path.join(HERE, "invoice.qzc"), "w", encoding="utf-8") as f:
        f.write(qzc())
    with open(os.path.join(HERE, "invoice.rtf"), "wb") as f:
        f.write(template().encode("ascii"))


if __name__ == "__main__":
    main()

// One small data set written in every form a template can read it from, and
// a dump of what a recordset gives back, to compare the forms.
#pragma once

#include "AdoTestSupport.h"

#include <cstdlib>
#include <sstream>

namespace qz::ado::test {

// ID, Customer (with a comma, a quote and a line break), Total, Created.
inline const char* kSameCsv =
    "ID,Customer,Total,Created\r\n"
    "1,\"Vins et alcools, Chevalier\",12.5,2024-03-01 10:30:00\r\n"
    "2,\"Say \"\"Hi\"\"\",3.25,2024-03-02 00:00:00\r\n"
    "3,\"Two\nLines\",100,2024-12-31 23:59:59\r\n";

inline const char* kSameSql =
    "CREATE TABLE Orders (ID INTEGER, Customer VARCHAR(40), Total DOUBLE PRECISION, Created TIMESTAMP);"
    "INSERT INTO Orders VALUES (1, 'Vins et alcools, Chevalier', 12.5, '2024-03-01 10:30:00');"
    "INSERT INTO Orders VALUES (2, 'Say \"Hi\"', 3.25, '2024-03-02 00:00:00');"
    "INSERT INTO Orders VALUES (3, 'Two' || char(10) || 'Lines', 100, '2024-12-31 23:59:59');";

inline std::string sameXml() {
    return "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
           "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
           "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
           "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
           "<s:AttributeType name='ID'><s:datatype dt:type='int' dt:maxLength='4'/></s:AttributeType>"
           "<s:AttributeType name='Customer'><s:datatype dt:type='string' dt:maxLength='40'/></s:AttributeType>"
           "<s:AttributeType name='Total'><s:datatype dt:type='float' dt:maxLength='8'/></s:AttributeType>"
           "<s:AttributeType name='Created'><s:datatype dt:type='dateTime' rs:dbtype='timestamp'/></s:AttributeType>"
           "<s:extends type='rs:rowbase'/></s:ElementType></s:Schema><rs:data>"
           "<z:row ID='1' Customer='Vins et alcools, Chevalier' Total='12.5' Created='2024-03-01T10:30:00'/>"
           "<z:row ID='2' Customer='Say &quot;Hi&quot;' Total='3.25' Created='2024-03-02T00:00:00'/>"
           "<z:row ID='3' Customer='Two&#xA;Lines' Total='100' Created='2024-12-31T23:59:59'/>"
           "</rs:data></xml>";
}

// Writes the workbook with python3-xlwt: sheet "Orders", the header row, then
// the rows (dates as date cells).
inline bool writeSameXls(const std::string& path, const std::string& scriptDir) {
    const std::string script = scriptDir + "/make_xls.py";
    std::ofstream(script) <<
        "import sys, datetime, xlwt\n"
        "wb = xlwt.Workbook()\n"
        "ws = wb.add_sheet('Orders')\n"
        "date = xlwt.easyxf(num_format_str='yyyy-mm-dd hh:mm:ss')\n"
        "rows = [(1, 'Vins et alcools, Chevalier', 12.5, datetime.datetime(2024,3,1,10,30,0)),\n"
        "        (2, 'Say \"Hi\"', 3.25, datetime.datetime(2024,3,2)),\n"
        "        (3, 'Two\\nLines', 100, datetime.datetime(2024,12,31,23,59,59))]\n"
        "for c, h in enumerate(['ID', 'Customer', 'Total', 'Created']): ws.write(0, c, h)\n"
        "for r, row in enumerate(rows, 1):\n"
        "    for c, v in enumerate(row): ws.write(r, c, v, date if c == 3 else xlwt.Style.default_style)\n"
        "ws2 = wb.add_sheet('Notes')\n"
        "ws2.write(0, 0, 'Text')\n"
        "ws2.write(1, 0, 'hello')\n"
        "wb.save(sys.argv[1])\n";
    const std::string cmd = "/usr/bin/python3 '" + script + "' '" + path + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// The same workbook as a later version writes it (.xlsx, python3-openpyxl),
// with more: a named range over the prices, a sheet of booleans and merged
// cells, an empty sheet, and a column of dates whose last is a formula saved
// without its value.
inline bool writeSameXlsx(const std::string& path, const std::string& scriptDir) {
    const std::string script = scriptDir + "/make_xlsx.py";
    std::ofstream(script) <<
        "import sys, datetime, openpyxl\n"
        "from openpyxl.workbook.defined_name import DefinedName\n"
        "wb = openpyxl.Workbook()\n"
        "ws = wb.active\n"
        "ws.title = 'Orders'\n"
        "ws.append(['ID', 'Customer', 'Total', 'Created'])\n"
        "ws.append([1, 'Vins et alcools, Chevalier', 12.5, datetime.datetime(2024,3,1,10,30,0)])\n"
        "ws.append([2, 'Say \"Hi\"', 3.25, datetime.datetime(2024,3,2)])\n"
        "ws.append([3, 'Two\\nLines', 100, datetime.datetime(2024,12,31,23,59,59)])\n"
        "for r in range(2, 5): ws.cell(r, 4).number_format = 'yyyy-mm-dd hh:mm:ss'\n"
        "ws2 = wb.create_sheet('Flags')\n"
        "ws2.append(['Group', 'Done', 'Code'])\n"
        "ws2.append(['North', True, '007'])\n"
        "ws2.append([None, False, '008'])\n"
        "ws2.merge_cells('A2:A3')\n"
        "wb.create_sheet('Empty')\n"
        "ws3 = wb.create_sheet('Due')\n"
        "ws3.append(['Due', 'N'])\n"
        "ws3.append([datetime.date(2024,1,5), 1])\n"
        "ws3.append([datetime.date(2024,2,6), 2])\n"
        "ws3.append(['=A3+1', 3])\n"
        "for r in range(2, 5): ws3.cell(r, 1).number_format = 'yyyy-mm-dd'\n"
        "wb.defined_names.append(DefinedName('Prices', attr_text=\"Orders!$B$1:$C$4\"))\n"
        "wb.save(sys.argv[1])\n";
    const std::string cmd = "/usr/bin/python3 '" + script + "' '" + path + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Every row of the recordset: names, type classes and values as text.
inline std::string dump(Recordset& rs) {
    std::ostringstream out;
    for (std::size_t i = 0; i < rs.fieldCount(); ++i) {
        const std::int32_t t = rs.column(i).type;
        const char* kind = isStringType(t) ? "S" : isIntegerType(t) ? "L" : isDateType(t) ? "D"
                           : (t == adDouble || t == adSingle) ? "F" : "?";
        out << rs.column(i).name << ":" << kind << " ";
    }
    out << "\n";
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        for (std::size_t i = 0; i < rs.fieldCount(); ++i) {
            const Variant& v = rs.value(i);
            out << static_cast<int>(v.type()) << "=" << (v.isNull() ? std::string() : v.toUtf8()) << "|";
        }
        out << "\n";
    }
    return out.str();
}

} // namespace qz::ado::test

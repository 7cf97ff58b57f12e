#include "designer/ModQZCConversion.h"

#include "config/QZCFile.h"
#include "core/ModErrors.h"
#include "platform/ado/Connection.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"

namespace qz::designer {

namespace {

// A column of the current row as text; a Null is the run time's "Invalid use
// of Null" (94), as converting it to text was.
std::string Text(const ado::Recordset& rs, std::u16string_view column) {
    const Variant v = rs.value(column);
    if (v.isNull()) throwRuntimeError(94);
    return v.toUtf8();
}

} // namespace

void Convert51629To60000(const std::string& workFile, const std::string& databaseFile) {
    Ref<ado::Connection> db = makeRef<ado::Connection>();
    HandledWithCleanUp("ModQZCConversion", "Convert51629To60000", kErrLog | kErrRaise, [&] {
        QZCFile qzc;
        qzc.CreateNew(workFile);
        QZCTemplateProperties& props = *qzc.TemplateProperties();
        props.Version = "8.1.0";
        db->open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= '" + databaseFile + "';");

        Ref<ado::Recordset> info = db->execute("SELECT * FROM TblFileInfo;");
        if (info->eof()) ado::raiseAdo(ado::kErrNoCurrentRecord, "ADODB.Recordset");
        props.filename = Text(*info, u"FileName");
        props.RevisionKeep = Text(*info, u"RevisionKeep");
        props.Locale = Text(*info, u"Locale");
        props.DateTimeFormat = Text(*info, u"DateTimeFormat");
        props.StringFormat = Text(*info, u"StringFormat");
        props.NumberFormat = Text(*info, u"NumberFormat");
        props.CurrencyFormat = Text(*info, u"CurrencyFormat");
        props.PercentFormat = Text(*info, u"PercentFormat");
        props.Save();
        info->close();

        Ref<ado::Recordset> connections = db->execute("SELECT * FROM TblConnection;");
        for (; !connections->eof(); connections->moveNext()) {
            auto connection = qzc.ConnectionList()->CreateNew();
            connection->Name = Text(*connections, u"ConnectionName");
            const std::string type = Text(*connections, u"ConnectionType");
            if (type == "0") {
                connection->ConnectionType = ConnectionTypeText(kOdbc);
                connection->DataSource = "DSN=" + std::string(trimSpaces(Text(*connections, u"DataSource"))) +
                                         ";uid=" + Text(*connections, u"UserName") +
                                         ";pwd=" + Text(*connections, u"Password") + ";";
            } else if (type == "1") {
                connection->ConnectionType = ConnectionTypeText(kOleDb);
                connection->DataSource = Text(*connections, u"DataSource");
            } else if (type == "2") {
                connection->ConnectionType = ConnectionTypeText(kPersistedRecordset);
            }
            connection->Save();
            // The id is the old database's own number: it names no user text.
            const std::string id = Text(*connections, u"ConnectionID");
            for (char c : id)
                if ((c < '0' || c > '9') && c != '-') throwRuntimeError(13);
            Ref<ado::Recordset> commands = db->execute("SELECT * FROM TblCommande WHERE ConnectionId=" + id + ";");
            for (; !commands->eof(); commands->moveNext()) {
                auto command = connection->CommandList()->CreateNew();
                command->Name = Text(*commands, u"CommandeName");
                command->Text = Text(*commands, u"CommandString");
                command->Save();
            }
            commands->close();
        }
        connections->close();
        db->close();
    }, [&] { Quietly([&] { if (db->isOpen()) db->close(); }); });
}

} // namespace qz::designer

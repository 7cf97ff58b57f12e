#include "editors/FieldDataTree.h"

#include "config/QZCFile.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "platform/ado/Connection.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

namespace qz::editors {

namespace {

constexpr std::string_view kModule = "FieldDataTree";

// A piece of a data path: .Fields("name").Value, quotes in the name doubled.
std::string FieldPiece(const std::string& name) {
    std::string out = ".Fields(\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\").Value";
}

// The text up to the last element: the command and its chapters.
std::string Head(const std::vector<std::string>& path) {
    std::string out = path.front();
    for (std::size_t i = 1; i + 1 < path.size(); ++i) out += FieldPiece(path[i]);
    return out;
}

// Closes what a command's branch opened, on every way out.
struct ClosingConnection {
    Ref<ado::Connection> c = makeRef<ado::Connection>();
    ~ClosingConnection() {
        Quietly([&] {
            if (c->isOpen()) c->close();
        });
    }
};

struct ClosingRecordset {
    Ref<ado::Recordset> rs;
    ~ClosingRecordset() {
        Quietly([&] {
            if (rs && rs->isOpen()) rs->close();
        });
    }
};

} // namespace

bool IsWholeNumberType(std::int32_t t) {
    using namespace ado;
    switch (t) {
    case adInteger: case adSmallInt: case adBigInt: case adTinyInt: case 21: case 19: case 18:
    case adUnsignedTinyInt:
        return true;
    default:
        return false;
    }
}

std::string DataTypeWord(std::int32_t t, bool chapterAllowed) {
    using namespace ado;
    if (t == adChapter && chapterAllowed) return {};
    switch (t) {
    case adChar: case adVarChar: case adLongVarChar: case adBSTR: case adLongVarWChar: case adVarWChar:
    case adWChar:
        return "String";
    case adDecimal: case adInteger: case adNumeric: case adSmallInt: case adBigInt: case adTinyInt:
    case adBoolean: case 21: case 19: case 18: case adUnsignedTinyInt:
        return "Long";
    case adSingle: case adDouble: case adCurrency:
        return "Double";
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp:
        return "Date";
    case adBinary: case adVarBinary: case adLongVarBinary: case adEmpty: case adError: case adGUID: case 9:
    case 13: case 132: case adVariant:
        return "Unknown";
    default:
        RaiseError(msg::InvalidDataType);
    }
}

std::string ColumnScriptText(const std::vector<std::string>& path) {
    if (path.empty()) return {};
    return path.size() == 1 ? path.front() : Head(path) + FieldPiece(path.back());
}

std::string FunctionScriptText(const std::vector<std::string>& path) {
    if (path.size() < 2) return {};
    return Head(path) + "." + path.back();
}

ui::Node& FieldDataTree::AddNode(const std::string& parentKey, const std::string& prefix, const std::string& text,
                                 DataNodeInfo info) {
    std::string key = prefix + std::to_string(++serial_);
    ui::Node& node = parentKey.empty() ? tree_.Add(key, text) : tree_.Add(parentKey, ui::tvwChild, key, text);
    info_[key] = std::move(info);
    return node;
}

void FieldDataTree::AddFunctions(const std::string& parentKey, const std::vector<std::string>& path) {
    const std::string group = AddNode(parentKey, "functions", "Functions", {DataNodeKind::Functions, {}, path}).Key();
    for (const char* f : kRecordFunctions) {
        std::vector<std::string> p = path;
        p.emplace_back(f);
        AddNode(group, std::string("childFct") + f, f, {DataNodeKind::Function, {}, std::move(p)});
    }
}

void FieldDataTree::LoadQueries(const std::string& qzcPath, const std::string& templateFolder) {
    tree_.Clear();
    info_.clear();
    templateFolder_ = templateFolder;
    QZCFile file;
    file.Load(qzcPath);
    if (!file.ConnectionList()) return;
    for (const auto& conn : file.ConnectionList()->List()) {
        const std::string key =
            AddNode({}, "QzConnect", conn->Name, {DataNodeKind::Connection, {}, {conn->Name}}).Key();
        if (!conn->CommandList()) continue;
        // A connection the editor never saved opens as an Access one.
        const std::int32_t type = ConnectionTypeOf(trimSpaces(conn->ConnectionType)).value_or(kAccess);
        for (const auto& cmd : conn->CommandList()->List()) {
            // A failure is logged where it happened; the command stays without columns.
            Quietly([&] { PopulateTreeView(key, conn->DataSource, cmd->Name, cmd->Text, type); });
        }
    }
}

void FieldDataTree::PopulateTreeView(const std::string& parentKey, const std::string& connectionString,
                                     const std::string& commandName, const std::string& commandText,
                                     std::int32_t connectionType) {
    Handled(kModule, "PopulateTreeView", kErrLog | kErrRaise, [&] {
        ClosingConnection connection;
        ClosingRecordset rs;
        if (connectionType == kPersistedRecordset) {
            rs.rs = ado::loadSavedRecordset(AdjustConnectionString(commandText, true, templateFolder_));
        } else {
            connection.c->open(AdjustConnectionString(connectionString, false, templateFolder_));
            rs.rs = connection.c->describe(commandText);
        }
        const std::string key =
            AddNode(parentKey, "childDt", commandName, {DataNodeKind::Command, {}, {commandName}}).Key();
        const bool chapters = connectionType == kPersistedRecordset;
        try {
            for (std::size_t i = 0; i < rs.rs->fieldCount(); ++i) {
                const ado::Column& col = rs.rs->column(i);
                const std::string word = DataTypeWord(col.type, chapters);
                if (word.empty()) {
                    if (col.chapter) PrintNodes(key, col.name, *col.chapter, {commandName});
                    continue;
                }
                AddNode(key, "childRs" + word, col.name,
                        {DataNodeKind::Column, word, {commandName, col.name}, col.type});
            }
        } catch (const AutomationError& e) {
            if (e.Number != OwnErrorNumber(msg::InvalidDataType)) throw;
            // Shown to the author; the columns read so far stay.
            HandleError(kModule, "PopulateTreeView", kErrLog | kErrShow);
            return;
        }
        if (commandFunctions_) AddFunctions(key, {commandName});
    });
}

void FieldDataTree::PrintNodes(const std::string& parentKey, const std::string& chapterName,
                               const ado::RecordsetData& chapter, std::vector<std::string> path) {
    path.push_back(chapterName);
    const std::string key = AddNode(parentKey, "childDt", chapterName, {DataNodeKind::Chapter, {}, path}).Key();
    HandledWithError(kModule, "PrintNodes", kErrLog, [&] {
        for (const ado::Column& col : chapter.columns) {
            const std::string word = DataTypeWord(col.type, true);
            if (word.empty()) {
                if (col.chapter) PrintNodes(key, col.name, *col.chapter, path);
                continue;
            }
            std::vector<std::string> p = path;
            p.push_back(col.name);
            AddNode(key, "childRs" + word, col.name, {DataNodeKind::Column, word, std::move(p), col.type});
        }
        AddFunctions(key, path);
    }, [](const AutomationError& logged) {
        // A column of a type the script cannot read is only logged.
        if (!IsOwn(logged, msg::InvalidDataType)) ShowErrorDialog(logged.Description, {});
    });
}

const DataNodeInfo* FieldDataTree::Info(const ui::Node* node) const {
    if (!node) return nullptr;
    auto it = info_.find(node->Key());
    return it == info_.end() ? nullptr : &it->second;
}

std::string FieldDataTree::ScriptText(const ui::Node* node) const {
    const DataNodeInfo* info = Info(node);
    if (!info) return {};
    if (info->kind == DataNodeKind::Column) return ColumnScriptText(info->path);
    if (info->kind == DataNodeKind::Function) return FunctionScriptText(info->path);
    return {};
}

std::string FieldDataTree::TypeWord(const ui::Node* node) const {
    const DataNodeInfo* info = Info(node);
    return info && info->kind == DataNodeKind::Column ? info->typeWord : std::string();
}

bool FieldDataTree::IsEmptyConnection(const ui::Node* node) const {
    const DataNodeInfo* info = Info(node);
    return info && info->kind == DataNodeKind::Connection && node->Children().empty();
}

std::string FieldDataTree::ToolTipAt(int x, int y) const {
    const ui::Node* node = tree_.HitTest(x, y);
    return node ? node->Text : std::string();
}

} // namespace qz::editors

// The tree of a template's data beside the field editors' code box: one root
// per connection of the QZC file, under it one node per command, under each
// command its columns as the command's recordset reports them, child
// recordsets (chapters) with their own columns, and groups of record
// functions. A double-click on a column or a record function gives the
// script text that reaches it (Orders.Fields("Total").Value, Orders.MoveNext).
//
// Every command is opened only to read its columns: an SQL command is
// prepared, never run (so one with "?" parameters lists its columns too), and
// a saved recordset's child columns are read from its schema (so an empty
// one shows them as well). Everything opened is closed again before the next
// command. A connection or command that cannot be opened leaves its node
// without children, with nothing shown; a column of a type the system cannot
// handle says so (message 4040) and ends that command's columns.
//
// Node keys are unique whatever the names (a serial number ends each key);
// what a node stands for is kept beside the tree, never read back from keys
// or texts.
#pragma once

#include "platform/ui/TreeView.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qz::ado {
class RecordsetData;
}

namespace qz::editors {

enum class DataNodeKind { Connection, Command, Column, Chapter, Functions, Function };

struct DataNodeInfo {
    DataNodeKind kind = DataNodeKind::Connection;
    std::string typeWord;            // a column's: "String", "Long", "Double", "Date", "Unknown"
    std::vector<std::string> path;   // command, chapters, then the column's or function's name
    std::int32_t adoType = 0;        // a column's data type code
};

// Whether a column of the data type code holds whole numbers only (the
// integer types; a decimal may have a fraction).
bool IsWholeNumberType(std::int32_t adoType);

// The record functions of the Functions groups, in their order.
inline constexpr const char* kRecordFunctions[] = {"RecordCount", "MoveFirst", "MoveNext", "MovePrevious",
                                                   "MoveLast", "BOF", "EOF"};

// The type word of a data type code, "" for a child recordset (136) when
// chapters are allowed; raises message 4040 for any other type.
std::string DataTypeWord(std::int32_t adoType, bool chapterAllowed);

// The script text of a column (command, chapters, column) as data paths:
// Orders.Fields("Items").Value.Fields("Amount").Value; double quotes in names
// are doubled, as the script language writes them inside a string.
std::string ColumnScriptText(const std::vector<std::string>& path);
// Command, chapters, function: Orders.Fields("Items").Value.RecordCount.
std::string FunctionScriptText(const std::vector<std::string>& path);

class FieldDataTree {
public:
    // commandFunctions: a Functions group under each command too (the
    // statement editor's tree); chapters always have theirs.
    FieldDataTree(ui::TreeView& tree, bool commandFunctions) : tree_(tree), commandFunctions_(commandFunctions) {}

    // Empties the tree and fills it from the QZC file; relative data paths
    // resolve against the template folder. A file that cannot be read raises
    // its error (2012 to 2018) with the tree left empty.
    void LoadQueries(const std::string& qzcPath, const std::string& templateFolder);
    // One command's branch under its connection's node (connection type as
    // stored: "0" to "8"). Failures raise after the nodes added so far.
    void PopulateTreeView(const std::string& parentKey, const std::string& connectionString,
                          const std::string& commandName, const std::string& commandText,
                          std::int32_t connectionType);

    // What a node stands for; null for a node this tree did not add.
    const DataNodeInfo* Info(const ui::Node* node) const;
    // The script text a double-click inserts; "" for nodes that insert nothing.
    std::string ScriptText(const ui::Node* node) const;
    // A column's type word; "" for every other node.
    std::string TypeWord(const ui::Node* node) const;
    // True for a connection without commands (message 4024 on a double-click).
    bool IsEmptyConnection(const ui::Node* node) const;
    // The tooltip while the pointer is at (x, y): the text of the node there,
    // "" over no node.
    std::string ToolTipAt(int x, int y) const;

private:
    ui::Node& AddNode(const std::string& parentKey, const std::string& prefix, const std::string& text,
                      DataNodeInfo info);
    void AddFunctions(const std::string& parentKey, const std::vector<std::string>& path);
    void PrintNodes(const std::string& parentKey, const std::string& chapterName, const ado::RecordsetData& chapter,
                    std::vector<std::string> path);

    ui::TreeView& tree_;
    bool commandFunctions_;
    std::string templateFolder_;
    std::uint64_t serial_ = 0;
    std::unordered_map<std::string, DataNodeInfo> info_;
};

} // namespace qz::editors

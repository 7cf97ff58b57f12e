// The data connections of a template and their commands, as stored in its QZC
// file: "ConnectionList" > "Connection" (attribute "ID"; "Name", "DataSource",
// "ConnectionType", "CommandList") > "Command" (attribute "ID"; "Name", "Text").
//
// Calling order:
//   read:        QZCFile::Load, then ConnectionList()->List(), each connection's
//                CommandList()->List() and the members;
//   new item:    CreateNew() on the list, set the members, Save() on the item;
//   change:      set the members, Save() on the item;
//   delete:      Delete(id) on the list that holds the item.
// Save and Delete write the whole document (new unsaved items included) to the
// file it was loaded from.
#pragma once

#include "config/QZCNode.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qz {

// The kinds of data connection. A QZC file holds the kind as its number
// written with one digit, "0" to "8".
enum ConnectionType : int {
    kAccess = 0,
    kExcel = 1,
    kSqlServer = 2,
    kOracle = 3,
    kTextFile = 4,
    kOdbc = 5,
    kOleDb = 6,
    kOutlookContacts = 7,
    kPersistedRecordset = 8,
};
// The text a QZC file holds for a kind.
std::string ConnectionTypeText(ConnectionType type);
// The kind a QZC file's text names; none for any other text (spaces included).
std::optional<ConnectionType> ConnectionTypeOf(std::string_view stored) noexcept;

class QZCConnection;
class QZCCommand;

// A keyed list of connections or of one connection's commands. The key of an
// item is its ID ("ID" and a number), compared without regard to letter case;
// the order is that of the document, then of creation.
template <class Item>
class QZCItemList {
public:
    using ItemPtr = std::shared_ptr<Item>;

    void XMLDOMNode(QZCNode element) { element_ = std::move(element); }

    const std::vector<ItemPtr>& List() const noexcept { return items_; }
    std::size_t Count() const noexcept { return items_.size(); }
    // The item with that ID, or null.
    ItemPtr FindItem(std::string_view id) const;

    // Builds one item per child node of the element. A child without an "ID"
    // attribute or with an ID already present fails, and leaves the list as
    // it was.
    void Load();
    // Appends a new item element (empty children) with the next ID: "ID" and
    // one more than the highest number among the IDs of the list. Writes
    // nothing: the element reaches the file with the next save.
    ItemPtr CreateNew();
    // Deletes the item with that ID from the document, writes the file, and
    // removes it from the list. An unknown ID fails and changes nothing.
    void Delete(std::string_view id);

private:
    friend class QZCConnection;
    void detach(); // the element was deleted with its connection

    QZCNode element_;
    std::vector<ItemPtr> items_;
    std::vector<std::string> keys_;                      // the ID of each item at load or creation
    std::unordered_map<std::string, std::size_t> index_; // folded key -> position
};

using QZCCommandList = QZCItemList<QZCCommand>;
using QZCConnectionList = QZCItemList<QZCConnection>;

class QZCCommand {
public:
    static constexpr const char* kElementName = "Command";
    static constexpr const char* kObjectName = "QZCCommand";
    static constexpr const char* kListObjectName = "QZCCommandList";

    // Members: set them freely, Save stores Name and Text. ID is written only
    // when the item is created; a changed ID is never stored.
    std::string ID;
    std::string Name;
    std::string Text; // SQL text with "?" parameters, or a saved-recordset file name

    void XMLDOMNode(QZCNode element) { element_ = std::move(element); }
    void Load();
    void Save();
    void CreateNew();
    // Removes the element from the document and writes the file. The object
    // keeps its members; a later Save writes the document without it.
    void Delete();

private:
    template <class> friend class QZCItemList;
    void detach();

    QZCNode element_;
    bool deleted_ = false;
};

class QZCConnection {
public:
    static constexpr const char* kElementName = "Connection";
    static constexpr const char* kObjectName = "QZCConnection";
    static constexpr const char* kListObjectName = "QZCConnectionList";

    std::string ID;
    std::string Name;
    std::string DataSource;     // the connection string, stored as typed
    std::string ConnectionType; // as stored: ConnectionTypeText of a kind

    // The connection's commands; null when its element has no "CommandList".
    const std::shared_ptr<QZCCommandList>& CommandList() const noexcept { return commandList_; }

    void XMLDOMNode(QZCNode element) { element_ = std::move(element); }
    void Load();
    void Save();
    void CreateNew();
    // Removes the element, and so its commands, from the document and writes
    // the file.
    void Delete();

private:
    template <class> friend class QZCItemList;
    void detach();

    QZCNode element_;
    std::shared_ptr<QZCCommandList> commandList_;
    bool deleted_ = false;
};

// True when a command of any connection of the list, other than `self`,
// bears the name. Letter case does not count: command names become the names
// of the script's objects, where "Orders" and "orders" are one object.
bool QzCommandNameAlreadyExist(const QZCConnectionList& list, std::string_view name, const QZCCommand* self) noexcept;

// The rules a command's name meets before the command is saved under it: a
// blank name or one that cannot name a script object raises 4027; then
// `beforeSearch` runs (a window's own check that comes between, such as the
// query builder's empty SQL); then a name changed from the command's own to
// one another command bears raises 4025.
void CheckCommandName(const QZCConnectionList* list, const std::string& name, const QZCCommand* self,
                      const std::function<void()>& beforeSearch = {});

} // namespace qz

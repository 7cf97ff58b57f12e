#include "config/QZCConnection.h"

#include "config/QZCDocument.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

#include <initializer_list>

namespace qz {

namespace {

// A text child of an item element and the member that holds it.
struct Field {
    const char* name;
    std::string* member;
};

const Field* findField(std::initializer_list<Field> fields, pugi::xml_node child) noexcept {
    if (child.type() != pugi::node_element) return nullptr;
    for (const Field& f : fields) {
        if (std::string_view(child.name()) == f.name) return &f;
    }
    return nullptr;
}

// Writes the members into their child elements. Every child is checked before
// any is changed: a child of another name (other than `kept`, which is left
// alone) fails with 2012 and leaves the document as it was. A member with a
// value whose element is missing gets one, placed before `kept` so that the
// written order holds, rather than being lost.
void saveFields(pugi::xml_node element, std::initializer_list<Field> fields, const char* kept) {
    std::vector<const Field*> present;
    qzc::forEachChild(element, [&](pugi::xml_node child) {
        if (kept && qzc::isElement(child, kept)) return;
        const Field* f = findField(fields, child);
        if (!f) qzc::raiseMessage(qzc::kInvalidElement);
        present.push_back(f);
    });
    for (pugi::xml_node child : element.children()) {
        if (const Field* f = findField(fields, child)) qzc::setText(child, *f->member);
    }
    pugi::xml_node keptChild = kept ? element.child(kept) : pugi::xml_node();
    for (const Field& f : fields) {
        bool has = false;
        for (const Field* p : present) has = has || p == &f;
        if (has || f.member->empty()) continue;
        pugi::xml_node added = keptChild ? element.insert_child_before(f.name, keptChild)
                                         : element.append_child(f.name);
        qzc::setText(added, *f.member);
    }
}

// The number after the first two characters of an ID ("ID12" -> 12).
std::int64_t idNumber(std::string_view id) {
    std::string_view rest = id.size() > 2 ? id.substr(2) : std::string_view{};
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty()) qzc::raiseError(13, "The ID '" + std::string(id) + "' does not end with a number.");
    std::int64_t n = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') qzc::raiseError(13, "The ID '" + std::string(id) + "' does not end with a number.");
        n = n * 10 + (c - '0');
        if (n > INT32_MAX) qzc::raiseError(6, "The number of the ID '" + std::string(id) + "' is too large.");
    }
    return negative ? -n : n;
}

// Sets the "ID" attribute of a new item element.
void writeIdAttribute(pugi::xml_node element, const std::string& id) {
    pugi::xml_attribute a = element.attribute("ID");
    if (!a) a = element.append_attribute("ID");
    a.set_value(id.c_str());
}

} // namespace

std::string ConnectionTypeText(ConnectionType type) { return std::to_string(static_cast<int>(type)); }

std::optional<ConnectionType> ConnectionTypeOf(std::string_view stored) noexcept {
    if (stored.size() != 1 || stored[0] < '0' || stored[0] > '8') return std::nullopt;
    return static_cast<ConnectionType>(stored[0] - '0');
}

// --- the lists ---------------------------------------------------------------

template <class Item>
typename QZCItemList<Item>::ItemPtr QZCItemList<Item>::FindItem(std::string_view id) const {
    auto it = index_.find(toLowerAscii(id));
    return it == index_.end() ? nullptr : items_[it->second];
}

template <class Item>
void QZCItemList<Item>::Load() {
    Handled(Item::kListObjectName, "Load", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        std::vector<ItemPtr> items;
        std::vector<std::string> keys;
        std::unordered_map<std::string, std::size_t> index;
        // Every child node is an item, whatever its name.
        qzc::forEachChild(element, [&](pugi::xml_node child) {
            auto item = std::make_shared<Item>();
            item->XMLDOMNode(qzc::bindTo(element_, child));
            item->Load();
            if (!index.emplace(toLowerAscii(item->ID), items.size()).second) {
                qzc::raiseError(457, "The ID '" + item->ID + "' occurs twice in the qzc " +
                                         Item::kElementName + " list.");
            }
            keys.push_back(item->ID);
            items.push_back(std::move(item));
        });
        items_ = std::move(items);
        keys_ = std::move(keys);
        index_ = std::move(index);
    });
}

template <class Item>
typename QZCItemList<Item>::ItemPtr QZCItemList<Item>::CreateNew() {
    return Handled(Item::kListObjectName, "CreateNew", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        std::int64_t highest = 0;
        for (const std::string& key : keys_) highest = std::max(highest, idNumber(key));
        if (highest >= INT32_MAX) qzc::raiseError(6, "No ID is left for a new qzc item.");
        std::string id = "ID" + std::to_string(highest + 1);

        pugi::xml_node child = element.append_child(Item::kElementName);
        auto item = std::make_shared<Item>();
        item->XMLDOMNode(qzc::bindTo(element_, child));
        item->ID = id;
        try {
            item->CreateNew();
        } catch (...) {
            element.remove_child(child);
            throw;
        }
        index_.emplace(toLowerAscii(id), items_.size());
        keys_.push_back(id);
        items_.push_back(item);
        return item;
    });
}

template <class Item>
void QZCItemList<Item>::Delete(std::string_view id) {
    Handled(Item::kListObjectName, "Delete", kErrLog | kErrRaise, [&] {
        auto it = index_.find(toLowerAscii(id));
        if (it == index_.end()) {
            qzc::raiseError(5, "No qzc " + std::string(Item::kElementName) + " has the ID '" +
                                   std::string(id) + "'.");
        }
        std::size_t pos = it->second;
        items_[pos]->Delete();
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(pos));
        keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(pos));
        index_.clear();
        for (std::size_t i = 0; i < keys_.size(); ++i) index_.emplace(toLowerAscii(keys_[i]), i);
    });
}

template <class Item>
void QZCItemList<Item>::detach() {
    for (const ItemPtr& item : items_) item->detach();
    element_.element = nullptr;
}

template class QZCItemList<QZCCommand>;
template class QZCItemList<QZCConnection>;

// --- commands ----------------------------------------------------------------

void QZCCommand::Load() {
    Handled(kObjectName, "Load", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        std::string id = qzc::readId(element, kElementName);
        std::string name = Name, text = Text;
        qzc::forEachChild(element, [&](pugi::xml_node child) {
            if (qzc::isElement(child, "Name")) name = qzc::textOf(child);
            else if (qzc::isElement(child, "Text")) text = qzc::textOf(child);
            else qzc::raiseMessage(qzc::kInvalidElement);
        });
        ID = std::move(id);
        Name = std::move(name);
        Text = std::move(text);
    });
}

void QZCCommand::Save() {
    Handled(kObjectName, "Save", kErrLog | kErrRaise, [&] {
        if (!deleted_) saveFields(qzc::boundNode(element_), {{"Name", &Name}, {"Text", &Text}}, nullptr);
        if (!element_.doc) qzc::boundNode(element_);
        qzc::writeDocument(*element_.doc);
    });
}

void QZCCommand::CreateNew() {
    Handled(kObjectName, "CreateNew", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        writeIdAttribute(element, ID);
        element.append_child("Name");
        element.append_child("Text");
    });
}

void QZCCommand::Delete() {
    Handled(kObjectName, "Delete", kErrLog | kErrRaise, [&] {
        if (deleted_) return;
        pugi::xml_node element = qzc::boundNode(element_);
        // Write the document without the element first: a failed write then
        // leaves both the file and the document as they were.
        qzc::writeDocument(*element_.doc, element);
        element.parent().remove_child(element);
        detach();
    });
}

void QZCCommand::detach() {
    element_.element = nullptr;
    deleted_ = true;
}

// --- connections ---------------------------------------------------------------

void QZCConnection::Load() {
    Handled(kObjectName, "Load", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        std::string id = qzc::readId(element, kElementName);
        std::string name = Name, dataSource = DataSource, type = ConnectionType;
        std::shared_ptr<QZCCommandList> commands;
        qzc::forEachChild(element, [&](pugi::xml_node child) {
            if (qzc::isElement(child, "Name")) name = qzc::textOf(child);
            else if (qzc::isElement(child, "DataSource")) dataSource = qzc::textOf(child);
            else if (qzc::isElement(child, "ConnectionType")) type = qzc::textOf(child);
            else if (qzc::isElement(child, "CommandList")) {
                if (commands) qzc::raiseMessage(qzc::kDuplicateCommandList);
                commands = std::make_shared<QZCCommandList>();
                commands->XMLDOMNode(qzc::bindTo(element_, child));
                commands->Load();
            } else {
                qzc::raiseMessage(qzc::kInvalidElement);
            }
        });
        ID = std::move(id);
        Name = std::move(name);
        DataSource = std::move(dataSource);
        ConnectionType = std::move(type);
        commandList_ = std::move(commands);
    });
}

void QZCConnection::Save() {
    Handled(kObjectName, "Save", kErrLog | kErrRaise, [&] {
        if (!deleted_) {
            saveFields(qzc::boundNode(element_),
                       {{"Name", &Name}, {"DataSource", &DataSource}, {"ConnectionType", &ConnectionType}},
                       "CommandList");
        }
        if (!element_.doc) qzc::boundNode(element_);
        qzc::writeDocument(*element_.doc);
    });
}

void QZCConnection::CreateNew() {
    Handled(kObjectName, "CreateNew", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        writeIdAttribute(element, ID);
        element.append_child("Name");
        element.append_child("DataSource");
        element.append_child("ConnectionType");
        pugi::xml_node list = element.append_child("CommandList");
        auto commands = std::make_shared<QZCCommandList>();
        commands->XMLDOMNode(qzc::bindTo(element_, list));
        commandList_ = std::move(commands);
    });
}

void QZCConnection::Delete() {
    Handled(kObjectName, "Delete", kErrLog | kErrRaise, [&] {
        if (deleted_) return;
        pugi::xml_node element = qzc::boundNode(element_);
        qzc::writeDocument(*element_.doc, element);
        element.parent().remove_child(element);
        detach();
    });
}

void QZCConnection::detach() {
    // The element's subtree is gone: the command list and its commands are
    // no longer bound to anything.
    if (commandList_) commandList_->detach();
    element_.element = nullptr;
    deleted_ = true;
}

bool QzCommandNameAlreadyExist(const QZCConnectionList& list, std::string_view name, const QZCCommand* self) noexcept {
    for (const auto& cn : list.List()) {
        if (!cn->CommandList()) continue;
        for (const auto& cmd : cn->CommandList()->List())
            if (cmd.get() != self && equalsNoCaseAscii(cmd->Name, name)) return true;
    }
    return false;
}

void CheckCommandName(const QZCConnectionList* list, const std::string& name, const QZCCommand* self,
                      const std::function<void()>& beforeSearch) {
    if (onlySpaces(name) || !ValidCnOrCmdName(name)) RaiseError(msg::InvalidName);
    if (beforeSearch) beforeSearch();
    if (list && self && name != self->Name && QzCommandNameAlreadyExist(*list, name, self))
        RaiseError(msg::DuplicateCommandName);
}

} // namespace qz

// The data of a template opened as the preview opens it: every connection of
// its QZC file, every command of each connection as an open client-side
// recordset, to be handed to the production engine under the command's name.
// A connection or command that cannot be opened is left out and listed with
// its reason; everything opened is closed again by Close (or the destructor).
#pragma once

#include "platform/ado/Connection.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qz::production {

class TemplateData {
public:
    // Turns a command's SQL text into the text to run and the values bound to
    // its "?", asking for its parameters (the designer's ResolveSqlParameters,
    // or answers given on a command line); it may throw to leave the command out.
    using SqlResolver = std::function<ado::BoundSql(const std::string& sql)>;

    struct Skipped {
        std::string connection;
        std::string command; // empty when the whole connection was left out
        std::string reason;
    };

    TemplateData() = default;
    ~TemplateData() { Close(); }
    TemplateData(const TemplateData&) = delete;
    TemplateData& operator=(const TemplateData&) = delete;

    // Loads the QZC file and opens everything; relative data paths resolve
    // against templateFolder. A QZC file that cannot be read throws (its
    // error 2012 to 2018).
    void Open(const std::string& qzcPath, const std::string& templateFolder, const SqlResolver& resolve);

    // The open recordsets under their command names, in connection order then
    // command order; a name already taken (without regard to case) is skipped.
    const std::vector<std::pair<std::string, Ref<ado::Recordset>>>& Recordsets() const { return recordsets_; }
    const std::vector<Skipped>& SkippedItems() const { return skipped_; }

    // Hands every recordset to add(name, object), e.g. Production::AddObject.
    void Register(const std::function<void(const std::string&, Ref<Dispatch>)>& add) const;

    // Closes every open recordset and connection.
    void Close();

private:
    std::vector<Ref<ado::Connection>> connections_;
    std::vector<std::pair<std::string, Ref<ado::Recordset>>> recordsets_;
    std::vector<Skipped> skipped_;
};

} // namespace qz::production

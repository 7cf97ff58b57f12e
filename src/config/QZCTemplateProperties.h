// The template's properties: the "TemplateProperties" element of a QZC file.
#pragma once

#include "config/QZCNode.h"

#include <string>

namespace qz {

class QZCTemplateProperties {
public:
    // Nine text properties, one per child element ("Version", "FileName",
    // "RevisionKeep", "Locale", "DateTimeFormat", "StringFormat",
    // "NumberFormat", "CurrencyFormat", "PercentFormat"). Reading or writing
    // them touches only the object; Save stores them. They are not checked:
    // users convert RevisionKeep and Locale to integers and read the formats
    // with the field format routines (core/QzFormat.h).
    std::string Version;
    std::string filename;
    std::string RevisionKeep;   // 1-10 copies kept, 11 all, 12 none
    std::string Locale;         // decimal LCID, or -1 for the system default
    std::string DateTimeFormat; // default options texts of the five kinds
    std::string StringFormat;
    std::string NumberFormat;
    std::string CurrencyFormat;
    std::string PercentFormat;

    // Binds the object to its element (done by QZCFile).
    void XMLDOMNode(QZCNode element) { element_ = std::move(element); }

    // Reads the child elements into the properties; a child of another name
    // fails with message 2012 and leaves the properties unchanged.
    void Load();
    // Writes the properties into the child elements and the whole document to
    // its file. A property whose element is missing gets one; a child of
    // another name fails with message 2012 before anything is changed.
    void Save();
    // Appends the nine empty child elements; writes nothing.
    void CreateNew();

private:
    QZCNode element_;
};

} // namespace qz

#include "resources/MessageTable.h"

#include <algorithm>
#include <iterator>

namespace qz::res {
namespace {

struct Message {
    std::int32_t id;
    std::string_view text;
};

// Sorted by id; looked up by binary search. Texts are kept exactly as the
// product shows them, spelling included, since callers and stored logs
// compare them.
constexpr Message kMessages[] = {
    {0, "Success"},
    {1001, "Unexplained error."},
    {1004, "Invalid path name. Please specify a valid path name."},
    {1008, "Quorvane Studio 2004 requires MDAC version 2.5 or higher. Please consult Quorvane "
           "Studio 2004 Help file for more details on minimum system requirements."},
    {1009, "Quorvane Studio 2004 requires Microsoft Internet Explorer version 5 or higher. "
           "Please consult Quorvane Studio 2004 Help file for more details on minimum system "
           "requirements."},
    {1010, "Quorvane Studio 2004 requires MDAC version 2.5 or higher and Microsoft Internet "
           "Explorer version 5 or higher. Please consult Quorvane Studio 2004 Help file for "
           "more details on minimum system requirements."},
    {2001, "Invalid registry key."},
    {2002, "Registry key not found."},
    {2003, "Cannot find the temporary path."},
    {2009, "Unable to get the resource message."},
    {2011, "Cannot get the temporary filen name."},
    {2012, "Invalid qzc element."},
    {2013, "Duplicate command list node."},
    {2014, "Duplicate connection list node."},
    {2015, "Duplicate template properties node."},
    {2016, "Unable to find qzc element."},
    {2017, "Invalid qzc file."},
    {2018, "Unable to open qzc file."},
    {3000, "An unexpected error has occurred."},
    {3001, "Cannot find the Quorvane template file. "},
    {3002, "Cannot open or find the Qzc file."},
    {3003, "Cannot find a valid input file."},
    {3005, "Script Control runtime error."},
    {3007, "Invalid property or object name in the Script Control."},
    {3008, "Property or object already exists in the Script Control."},
    {3010, "The file specified does not exist."},
    {3100, "Cannot open the input file."},
    {3108, "File already closed."},
    {3112, "Unable to interpret the RTF file."},
    {3113, "Unexpected error occurred when allocating string buffer."},
    {3114, "Unexpected error occurred when attempting to free string buffer."},
    {3117, "Invalid property data type.  Object's are not supported."},
    {4000, "An unexpected error has occured."},
    {4001, "Invalid command name."},
    {4002, "Please insert a valid SQL Query."},
    {4006, "Please enter a valid label name. A valid label name is not empty and does not "
           "contains (') or (\")."},
    {4008, "Cannot update Quorvane template properties."},
    {4009, "Invalid Quorvane Expression. The Expression cannot be empty."},
    {4010, "Invalid Quorvane Statement. The Statement cannot be empty."},
    {4011, "QzLib.vbs file missing in the application."},
    {4013, "There is no file to open."},
    {4014, "Cannot find the specified file."},
    {4015, "There is no SQL query to execute."},
    {4018, "Cannot preview document because the RTF file is read only. The RTF file has been "
           "modifed and cannot be saved. In order to preview the document with this "
           "modifications you have to save your template under another name in the template "
           "properties window or remove the read only attribute of this file."},
    {4020, "Quorvane Studio 2004 cannot give to a template, the same name as an open document. "
           "Please enter a different name for the current template."},
    {4024, "Invalid connection. Please go back to the connection window to fix the problem."},
    {4025, "Duplicate command name. Another command exists with the same name. Please choose "
           "another name."},
    {4026, "Duplicate connection name. Another connection exists with the same name. Please "
           "choose another name."},
    {4027, "Invalid name. The name cannot be empty and can only contain alphanumeric characters "
           "and underscores '_'. The name must begin with an alphabetic character."},
    {4028, "Invalid connection name."},
    {4029, "Invalid carriage return linefeed."},
    {4032, "Cannot view the Quorvane command properties. Maybe you have an invalid qzc file or "
           "your qzc file wasn't updated properly."},
    {4033, "Cannot get information from Qzc file to fill the Data Treeview."},
    {4035, "Cannot save the document with this file name. Please try an another one."},
    {4036, "Cannot open this file name. Please try an another one."},
    {4037, "Invalid property value. Please enter a valid numeric value."},
    {4038, "Invalid xml file. Microsoft ADO Recordset cannot open properly this file. Please "
           "make sure that you have choosen a valid xml file and/or your file is formatted "
           "correctly."},
    {4040, "Invalid Data Type. There is an invalid data type in the database."},
    {4041, "The Qzc file '"},
    {4042, "' is read-only."},
    {4045, "Cannot replace files in specified folder. Access is denied."},
    {4046, "An unexpected error has occurred in the Quorvane Studio component. Impossible to open the Quorvane "
           "field. Please contact technical support."},
    {4047, "Conversion is abort by the user."},
    {4048, "The template version is more recent than Quorvane version."},
    {4049, "The template version is invalid."},
    {4051, "Invalid expression field. Locale property is missing."},
    {4052, "Invalid expression field. Format property is missing."},
    {4053, "Cannot update Quorvane files. Files are read-only."},
    {4054, "Cannot update Quorvane files. Access denied."},
    {4055, "Cannot view command properties. Invalid connection type."},
    {4056, "Unexpected error occurred in Data Link Properties window."},
    {4057, "An unexpected error has occurred in the Quorvane Studio component. Impossible to read the Quorvane "
           "statement. Please contact technical support."},
    {4058, "An unexpected error has occurred in the Quorvane Studio component. Impossible to insert the Quorvane "
           "statement. Please contact technical support."},
    {4059, "An unexpected error has occurred in the Quorvane Studio component. Impossible to save the Quorvane "
           "statement. Please contact technical support."},
    {4060, "An unexpected error has occurred in the Quorvane Studio component. Impossible to read the Quorvane "
           "expression. Please contact technical support."},
    {4061, "An unexpected error has occurred in the Quorvane Studio component. Impossible to insert the Quorvane "
           "expression. Please contact technical support."},
    {4062, "An unexpected error has occurred in the Quorvane Studio component. Impossible to save the Quorvane "
           "expression. Please contact technical support."},
    {4063, "An unexpected error has occurred in the Quorvane Studio component. Cannot restore Quorvane fields "
           "color. Please contact technical support."},
    {4064, "An unexpected error has occurred in the Quorvane Studio component. Cannot insert Quorvane conditional "
           "paragraph. Please contact technical support."},
    {4065, "An unexpected error has occurred in the Quorvane Studio component. Cannot convert Quorvane template "
           "from version 5.16.29 to version 8.0. Please contact technical support."},
    {4101, "QueryBuilder error: Invalid select list."},
    {4102, "QueryBuilder error: Invalid table source."},
    {4103, "QueryBuilder error: Invalid search condition."},
    {4104, "QueryBuilder error: Invalid order expression."},
    {4105, "QueryBuilder error: Missing table in table source."},
};

constexpr bool sortedById() {
    for (std::size_t i = 1; i < std::size(kMessages); ++i)
        if (kMessages[i - 1].id >= kMessages[i].id) return false;
    return true;
}
static_assert(sortedById(), "message table must be sorted by id, each id once");

const Message* find(std::int32_t id) noexcept {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const Message& m, std::int32_t v) { return m.id < v; });
    return (it != std::end(kMessages) && it->id == id) ? it : nullptr;
}

} // namespace

std::string_view messageText(std::int32_t id) noexcept {
    const Message* m = find(id);
    return m ? m->text : std::string_view{};
}

bool hasMessage(std::int32_t id) noexcept { return find(id) != nullptr; }

} // namespace qz::res

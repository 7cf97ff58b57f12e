// The template's own data: every connection of its QZC file opened, and every
// command of each connection opened as a recordset and registered with the
// production engine under the command's name, as the designer's preview does.
#pragma once

#include "platform/ado/Connection.h"
#include "production/Production.h"

#include <string>
#include <vector>

namespace qz::cli {

// Values for the "?" parameters of the commands' SQL, given in the order the
// commands and their parameters are asked for; a parameter without a value
// fails with a message that names it.
struct ParameterValues {
    std::vector<std::string> values;
    std::size_t next = 0;
};

// Opens the data of the template's QZC file and registers it. The connections
// stay open in `open` until the caller is done with the production.
void AddTemplateConnections(production::Production& p, const std::string& templateFile,
                            ParameterValues& parameters, std::vector<Ref<ado::Connection>>& open);

} // namespace qz::cli

// Fills a preview grid from a recordset: one grid column per field, one row
// per record with the values as text, and the child records of a chapter
// field as a table of child rows under their parent row.
#pragma once

#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"

namespace qz {

// Replaces the grid's content with every record of the recordset (the
// recordset's position does not move). A closed recordset leaves the grid
// empty. Nulls and binary values show as empty cells.
void FillGridFromRecordset(ui::DataGrid& grid, const ado::Recordset& recordset);

} // namespace qz

// .xls workbooks: read as the .xlsx target reads its workbooks.
#include "common/FuzzEntries.h"

namespace qz::fuzz {

void Xls(const std::uint8_t* data, std::size_t size) { ReadWorkbook(data, size, "fuzz.xls", "Excel 8.0"); }

} // namespace qz::fuzz

// Embedded pictures: a PNG or JPEG file kept in the document as a picture
// group with its bytes, which the document shows and saves as it is.
#pragma once

#include "platform/word/Range.h"

#include <string>

namespace qz::word {

// The largest picture file embedded, and the most pixels a side may have.
inline constexpr long long kMostPictureBytes = 32LL * 1024 * 1024;
inline constexpr int kMostPicturePixels = 20000;

// The picture group for a PNG or JPEG file, shown at its pixels at 96 per
// inch, made smaller (in proportion) to be at most maxWidth twips wide.
// Raises kErrPicture, naming the file and the reason, for a file that cannot
// be read, is too large, or is not a whole PNG or JPEG picture.
std::string EmbeddedPictureGroup(const std::string& fileName, int maxWidth);

// Inserts the picture of a file in place of a range; the range then covers
// the picture (the selection: the cursor stands after it).
void AddPicture(Range& at, const std::string& fileName);

} // namespace qz::word

// The template data the preview opens lives with the designer, which uses it;
// the data-source layer and the command line reach it under this name too.
#pragma once

#include "designer/TemplateData.h"

namespace qz::datasources {
using designer::TemplateData;
}

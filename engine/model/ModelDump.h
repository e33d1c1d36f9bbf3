// A stable, human-readable text dump of the model, for golden tests and for
// checking that a write/read round trip keeps everything.
#pragma once

#include <string>

#include "model/Document.h"

namespace orvane {

std::string dumpModel(const model::Document& document);

}  // namespace orvane

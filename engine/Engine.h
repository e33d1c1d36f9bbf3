// The engine's public entry points: read any supported document from bytes,
// write the model as RTF to a sink. No I/O beyond what callers hand in.
#pragma once

#include <string_view>

#include "model/Document.h"
#include "model/ModelDump.h"
#include "reader/Reader.h"
#include "writer/RtfWriter.h"

namespace orvane {

// Decides what the bytes are by their content, never by a file name: the
// first entry of the engine's table of readers and refusals that recognises
// them.
InputFormat detectFormat(std::string_view bytes);

// Reads any supported format, choosing the reader by content.
ReadResult readDocument(std::string_view bytes, const ReadLimits& limits = {});

}  // namespace orvane

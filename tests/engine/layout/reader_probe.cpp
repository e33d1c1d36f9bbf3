// Compiled, never linked, by the engine layout tests with the include roots
// of one reader's library: what that reader may use compiles, and with
// ORVANE_PROBE_FORBIDDEN another reader's header is not found.
#include "odt/OdtReader.h"
#include "picture/PictureConvert.h"
#include "xml/XmlPart.h"
#include "zip/ZipArchive.h"
#ifdef ORVANE_PROBE_FORBIDDEN
#include "docx/DocxReader.h"
#endif

int main() { return 0; }

#include "doc/DocReader.h"

#include <new>

#include "cfb/CompoundFile.h"
#include "doc/DocConverter.h"

namespace orvane {

ReadResult readDoc(std::string_view bytes, const ReadLimits& limits) {
    try {
        cfb::CompoundFile file;
        std::string error;
        if (!file.open(bytes, limits.maxEntryBytes, error)) return ReadResult::failure(error);
        if (!file.has("WordDocument")) {
            if (file.has("EncryptedPackage")) return ReadResult::failure("The file is encrypted with a password.");
            return ReadResult::failure("The compound file holds no Word document (there is no WordDocument stream).");
        }
        std::string word;
        if (!file.read("WordDocument", word, error)) return ReadResult::failure("The Word document is damaged: " + error + ".");
        const doc::Fib fib = doc::parseFib(doc::Bytes{word});
        if (fib.encrypted || fib.obfuscated) return ReadResult::failure("The file is encrypted with a password.");
        std::string table, data;
        if (!fib.word6) {
            const char* name = fib.table1 ? "1Table" : "0Table";
            if (!file.read(name, table, error)) {
                return ReadResult::failure(std::string("The Word document is damaged: its table stream (") + name +
                                           ") is missing or unreadable.");
            }
        }
        if (file.has("Data") && !file.read("Data", data, error)) data.clear();
        ReadResult result;
        doc::DocConverter converter(file, std::move(word), std::move(table), std::move(data), limits, result.warnings);
        result.document = converter.convert();
        return result;
    } catch (const doc::DocError& e) {
        return ReadResult::failure(e.what());
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("There was not enough memory to read the file.");
    }
}

namespace {
bool recognisesDoc(const Probe& probe) {
    return probe.container == Container::Compound && probe.holds("WordDocument");
}
}  // namespace

const ReaderInfo kDocReader{InputFormat::Doc, &recognisesDoc, &readDoc};

}  // namespace orvane

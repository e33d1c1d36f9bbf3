// Converts documents the way the window does: one engine instance per document,
// created, asked to open and save, and quit. Prints documents per second.
//
// usage: automation_bench ENGINE OUTDIR INPUT...
#include <chrono>
#include <cstdio>
#include <string>

#include "Automation.h"

using namespace orvane::automation;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ENGINE OUTDIR INPUT...\n", argv[0]);
        return 2;
    }
    ClientOptions options;
    options.enginePath = argv[1];
    const std::string outDir = argv[2];
    int converted = 0, failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 3; i < argc; ++i) {
        const std::string input = argv[i];
        const std::string output = outDir + "/" + std::to_string(i) + ".rtf";
        try {
            auto word = createObject("Word.Application", options);
            auto documents = std::get<std::shared_ptr<Object>>(word->get("Documents"));
            auto document = std::get<std::shared_ptr<Object>>(documents->call("Open", {Value(input)}));
            document->call("SaveAs", {}, {{"FileName", Value(output)}, {"FileFormat", Value(std::int32_t(6))}});
            word->call("Quit");
            ++converted;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", input.c_str(), e.what());
            ++failed;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("automation: %d documents (%d failed) in %.3f s: %.1f documents/s\n", converted + failed, failed,
                seconds, (converted + failed) / seconds);
    return failed ? 1 : 0;
}

// varnello-demo: fills a folder with a dozen MP3 files for trying Varnello.

#include "Corpus.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

constexpr const char* kUsage =
    "Usage: varnello-demo FOLDER\n"
    "\n"
    "Fills FOLDER (created when missing) with a dozen small MP3 files for trying\n"
    "Varnello: version 3 and 4 tags, Unicode text, ID3v1 only, both tags, no tag,\n"
    "a picture and a broken tag. MP3 files already in FOLDER are replaced.\n"
    "A FOLDER starting with '-' is given after \"--\".\n";

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--") == 0) {
        first = 2;
    } else if (argc > 1 && argv[1][0] == '-') {
        // An option that is not known must not become a folder of that name.
        std::fprintf(stderr, "varnello-demo: unknown option '%s'\n%s", argv[1], kUsage);
        return 2;
    }
    if (argc != first + 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const char* folder = argv[first];
    try {
        const std::size_t count = varnello::testsupport::WriteDemoFolder(folder);
        std::printf("Demo folder %s: %zu files\n", folder, count);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnello-demo: %s\n", error.what());
        return 1;
    }
    return 0;
}

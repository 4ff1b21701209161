// varnello-demo: fills a folder with a dozen MP3 files for trying Varnello.

#include "Corpus.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: varnello-demo FOLDER\n");
        return 2;
    }
    try {
        const std::size_t count = varnello::testsupport::WriteDemoFolder(argv[1]);
        std::printf("Demo folder %s: %zu files\n", argv[1], count);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnello-demo: %s\n", error.what());
        return 1;
    }
    return 0;
}

// holdmapping.exe NAME... - another process that owns named blocks before the client
// gets to them: creates a paging-file mapping of 32768 bytes under each NAME, fills
// it with 0x5A, says so, and keeps them until it is ended (at the latest after a
// minute, so that it can never linger).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: holdmapping.exe NAME...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        HANDLE mapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x8000, argv[i]);
        void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
        if (!view) {
            std::fprintf(stderr, "holdmapping: cannot create %s, error %lu\n", argv[i],
                         GetLastError());
            return 1;
        }
        std::memset(view, 0x5A, 0x8000);
    }
    std::printf("holdmapping: holding %d\n", argc - 1);
    std::fflush(stdout);
    Sleep(60000);
    return 0;
}

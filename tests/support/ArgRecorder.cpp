// A program of the tests that stands in for an outside tool: it appends its
// arguments, one per line and an empty line after them, to the file named by
// LUMARI_ARGS_FILE, and exits with the code in LUMARI_ARGS_EXIT (0 without).
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* file = std::getenv("LUMARI_ARGS_FILE");
    if (file != nullptr) {
        if (std::FILE* out = std::fopen(file, "a")) {
            for (int i = 1; i < argc; ++i)
                std::fprintf(out, "%s\n", argv[i]);
            std::fprintf(out, "\n");
            std::fclose(out);
        }
    }
    const char* code = std::getenv("LUMARI_ARGS_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}

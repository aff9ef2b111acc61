// A child program for the process tests of every build: it writes what it
// was given to the file named by its first argument and ends with the exit
// code of its second ("wait" instead sleeps a minute first).
//
// The file holds each argument from the third on, then the values of
// DIRVANE_ECHO and DIRVANE_CASE, each as its length, ":" and its bytes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void put(std::FILE* out, const char* text) {
    const std::string value = text == nullptr ? "(none)" : text;
    std::fprintf(out, "%zu:", value.size());
    std::fwrite(value.data(), 1, value.size(), out);
    std::fputc('\n', out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 100;
    }
    if (std::strcmp(argv[2], "wait") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
        return 0;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        return 101;
    }
    for (int i = 3; i < argc; ++i) {
        put(out, argv[i]);
    }
    put(out, std::getenv("DIRVANE_ECHO"));
    put(out, std::getenv("DIRVANE_CASE"));
    std::fclose(out);
    return std::atoi(argv[2]);
}

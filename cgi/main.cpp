// Dirvane: lists its working directory as one CGI response.
//
//   Dirvane <folder settings file> [<output file>]
//
// Exit codes: 0 a response was written, 1 no folder settings file was given.
#include "cgi/corvane.h"
#include "cgi/ini_file.h"
#include "cgi/path.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// exeTo is the request time-out in milliseconds: "timeout" of section "index"
// of the common settings file, in seconds.
std::uint32_t exeTo = 30000;

} // namespace

int main(int argc, char** argv) {
    const char* exe = argc > 0 ? argv[0] : "";
    const char* conf = argc > 1 ? argv[1] : nullptr;
    const char* outf = argc > 2 ? argv[2] : nullptr;
    if (conf == nullptr || *conf == '\0')
        return 1;

    const std::string ini = path_change_extension(exe, ".ini");
    {
        const IniFile settings(ini, KeyOrder::exact);
        // 32-bit arithmetic, as the time-out is kept: huge values wrap.
        exeTo = settings.get_number("index", "timeout", 30) * 1000u;
    }

    if (outf != nullptr) {
        if (std::FILE* file = std::fopen(outf, "wb")) {
            {
                Corvane request(ini, conf, true, file);
                request.put("");
            }
            std::fclose(file);
            return 0;
        }
    }
    Corvane request(ini, conf, outf != nullptr, stdout);
    request.put("");
    return 0;
}

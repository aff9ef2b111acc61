// The directory scan that fills the entry list.
#include "cgi/dir_scan.h"

#include "platform/fs.h"
#include "platform/text.h"
#include "runtime/trace.h"

namespace {

// The pattern's last component: after its last separator, then after its
// last ":", without trailing dots.
std::string_view last_component(std::string_view pattern) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < pattern.size(); i += platform::char_length(pattern, i)) {
        if (pattern[i] == platform::path_separator() || pattern[i] == ':')
            start = i + 1;
    }
    std::string_view last = pattern.substr(start);
    while (!last.empty() && last.back() == '.')
        last.remove_suffix(1);
    return last;
}

} // namespace

bool scan_dir(std::vector<DirEntry>& list, bool includeFiles, bool includeDirs,
              std::string_view pattern) {
    if (pattern.empty() || (!includeFiles && !includeDirs))
        return false;
    if (last_component(pattern).empty())
        return true;

    const std::size_t before = list.size();
    const platform::SearchResult result =
        platform::find_files(pattern, [&](const platform::FoundFile& f) {
            if (f.isDir ? !includeDirs : !includeFiles)
                return;
            if (f.name == "." || f.name == "..")
                return;
            DirEntry& e = list.emplace_back();
            e.path = platform::full_path(f.name);
            e.isDir = f.isDir;
            if (f.hasTime)
                e.time = TimeValue::make(f.seconds, f.microseconds);
            e.size = f.size;
        });
    if (result.end != platform::SearchEnd::read_error)
        return result.end == platform::SearchEnd::complete;
    // The entries read before the error are kept: the page lists what could
    // be read, and the trace says that the folder was not read to its end.
    if (vv_tracing()) {
        const vvTraceScope trace("scan_dir", true);
        trace.print("The scan ended on a read error (error %d) after %u entries.", result.error,
                    static_cast<unsigned>(list.size() - before));
    }
    return false;
}

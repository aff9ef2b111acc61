// fuzz_log_path: any bytes as a log path template, the text of vv.path and a
// special folder's path; the text steps of the expansion run in memory with
// look-ups that return that folder, so nothing is read or created.
//
// What "no path outside what the template and vv.path name" means here,
// from the expansion rules:
// - the result holds at most 259 characters, its absolute form at most 260;
// - the date, time, stamp, process and counter placeholders write digits
//   only (hexadecimal for "%P"): a second expansion with other values of the
//   same widths gives a result of the same length that differs in digit
//   positions only, so they
//   add no separator, dot or name;
// - a special folder (vv.path's "%%NAME%%" line, or "%@" at the start of a
//   template that vv.path cannot redirect) is written as it is, whatever "%"
//   its path holds, at the start of the result;
// - when none of the template, vv.path's first line and the folder holds a
//   dot, the result has no "..": the dot rule of "%@" and its kin writes
//   single dots only, so no placeholder makes a parent step;
// - a relative result without ".." lies under the working directory.
#include "fuzz/fuzz_check.h"
#include "platform/file.h"
#include "runtime/log_path.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

struct FieldSet {
    vvLogTime time;
    const char* stamp;
    unsigned counter;
    std::uint32_t processId;
};

// Two sets whose every placeholder text has the same width.
constexpr FieldSet kFirst{{2026, 3, 4, 5, 6, 7, 890}, "20041105090712345", 7, 1234};
constexpr FieldSet kSecond{{1999, 12, 31, 23, 59, 58, 999}, "19991231235958999", 9876, 9999};

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// Digits, and the lower-case hexadecimal ones of "%P".
bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

bool has_parent_step(std::string_view path) {
    for (std::size_t pos = path.find(".."); pos != std::string_view::npos;
         pos = path.find("..", pos + 1)) {
        const bool starts = pos == 0 || is_separator(path[pos - 1]);
        const bool ends = pos + 2 == path.size() || is_separator(path[pos + 2]);
        if (starts && ends) {
            return true;
        }
    }
    return false;
}

bool is_ascii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

struct Run {
    std::string text;
    vvLogPathState state;
};

Run expand(std::string_view pathTemplate, const std::string* marker,
           const vvLogPathServices& services, const FieldSet& fields, bool sizeLimit) {
    vvLogPathInput input;
    input.pathTemplate = pathTemplate;
    input.openTime = fields.time;
    input.stamp = fields.stamp;
    input.openCounter = fields.counter;
    input.processId = fields.processId;
    Run run;
    run.state.threshold = 7;
    run.state.sizeLimit = sizeLimit ? 4000 : 0;
    run.text = vv_expand_log_text(input, marker, services, run.state);
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const unsigned flags = data[0];
    const std::size_t folderRepeat = data[1];
    const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    // Template, vv.path text and folder piece, separated by NUL bytes.
    std::string_view parts[3];
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i == 2 ? input.size() : input.find('\0', pos);
        parts[i] = input.substr(pos, (end == std::string_view::npos ? input.size() : end) - pos);
        pos = end == std::string_view::npos ? input.size() : std::min(end + 1, input.size());
    }
    const std::string_view pathTemplate = parts[0];
    const std::string markerText(parts[1]);
    const std::string* marker = (flags & 1) != 0 ? &markerText : nullptr;
    const bool sizeLimit = (flags & 2) != 0;
    // The folder: "/" and the piece repeated, from a few characters to well
    // past the 260 that fail an expansion.
    std::string folder = "/";
    for (std::size_t i = 0; i < folderRepeat % 64 && !parts[2].empty() && folder.size() < 600;
         ++i) {
        folder += parts[2];
    }
    if ((flags & 4) != 0) {
        folder.clear(); // the system has no such folder
    }
    vvLogPathServices services;
    services.specialFolder = [&](std::string_view name) {
        return vv_special_folder_number(name) < 0 ? std::string() : folder;
    };
    services.numberedDirectory = [&](std::string& cache) {
        if (cache.empty()) {
            cache = folder;
        }
        return cache;
    };

    const Run first = expand(pathTemplate, marker, services, kFirst, sizeLimit);
    const Run second = expand(pathTemplate, marker, services, kSecond, sizeLimit);
    FUZZ_CHECK(first.text.size() <= 259);
    FUZZ_CHECK(first.text.size() == second.text.size());
    for (std::size_t i = 0; i < first.text.size(); ++i) {
        if (first.text[i] != second.text[i]) {
            FUZZ_CHECK(is_hex_digit(first.text[i]) && is_hex_digit(second.text[i]));
        }
    }
    FUZZ_CHECK(first.state.threshold >= 0 && first.state.threshold <= 7);
    FUZZ_CHECK(sizeLimit ? first.state.sizeLimit >= 10 : first.state.sizeLimit == 0);
    if (first.text.empty()) {
        return 0;
    }

    const std::string_view line1 =
        marker != nullptr ? std::string_view(markerText).substr(0, markerText.find('\n'))
                          : std::string_view();
    const bool line1Empty = line1.find_first_not_of('\r') == std::string_view::npos;
    // "%@" at the start of a template without separators: vv.path cannot
    // redirect it, and the folder leads the result.
    if (pathTemplate.size() >= 2 && pathTemplate.substr(0, 2) == "%@" &&
        pathTemplate.find_first_of("\\/") == std::string_view::npos && is_ascii(pathTemplate)) {
        FUZZ_CHECK(folder.size() < 260);
        FUZZ_CHECK(first.text.compare(0, folder.size(), folder) == 0);
    }
    // A vv.path first line "%%APPDATA%%" + rest, used for a template that is
    // not anchored: the folder leads the result.
    const bool anchored =
        !pathTemplate.empty() && (is_separator(pathTemplate[0]) || pathTemplate[0] == '%' ||
                                  (pathTemplate.size() > 1 && pathTemplate[1] == ':'));
    if (!anchored && line1.substr(0, 11) == "%%APPDATA%%" &&
        line1.find('\r') == std::string_view::npos && is_ascii(pathTemplate) && is_ascii(line1)) {
        const std::size_t cut = pathTemplate.find_last_of("\\/");
        const std::size_t fileName =
            cut == std::string_view::npos ? pathTemplate.size() : pathTemplate.size() - cut - 1;
        if (folder.size() + line1.size() - 11 + fileName <= 257) {
            FUZZ_CHECK(first.text.compare(0, folder.size(), folder) == 0);
        }
    }
    const bool dotSpelled = pathTemplate.find('.') != std::string_view::npos ||
                            (!line1Empty && line1.find('.') != std::string_view::npos) ||
                            folder.find('.') != std::string::npos;
    if (!dotSpelled) {
        FUZZ_CHECK(first.text.find("..") == std::string::npos);
    }

    const std::string absolute = vv_log_absolute_path(first.text);
    FUZZ_CHECK(absolute.size() <= platform::max_path_length());
    if (!absolute.empty() && !has_parent_step(first.text) && !is_separator(first.text[0])) {
        const std::string here = platform::absolute_path(".");
        FUZZ_CHECK(absolute.compare(0, here.size(), here) == 0);
    }
    return 0;
}

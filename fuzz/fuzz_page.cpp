// fuzz_page: any bytes as the names of a folder (split at line feeds, each a
// file or a folder as the flag byte says), listed by the request object as
// the plain or the table listing, the page read back from a temporary file.
// Properties:
// - every entry that the ignore lists do not hide has one anchor whose href,
//   percent-decoded, is its name (with "/" for a folder, after "./" or not) and whose text,
//   unescaped, is its name with control bytes shown as "?"; the page has no other anchors than an
//   empty folder's page has;
// - an href holds only bytes that the URL path form leaves as they are
//   (no quote, no "<", no blank, no control byte) and "%" with two digits;
//   a link text holds no "<" or ">", and "&" only as an entity;
// - with every href and link text taken out, no byte of a name is left: the
//   rest holds no byte above 0x7F nor control byte, and just as many "<",
//   ">" and quotes as the same listing of names without markup.
// The folder is a fresh one under the system's temporary folder, made the
// working directory as the program's is.
#include "cgi/corvane.h"
#include "fuzz/fuzz_check.h"
#include "platform/file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;
    bool isDir;
};

struct Anchor {
    std::string href;
    std::string text;
};

const fs::path& work_dir() {
    static const fs::path dir = [] {
        const fs::path d = fs::temp_directory_path() / "dirvane-fuzz-page";
        std::error_code ignored;
        fs::remove_all(d, ignored);
        fs::create_directories(d);
        (void)platform::set_current_directory(d.string());
        std::atexit([] {
            std::error_code error;
            fs::remove_all(fs::temp_directory_path() / "dirvane-fuzz-page", error);
        });
        return d;
    }();
    return dir;
}

// make_folder empties the working folder and makes `entries` in it; the
// ones the file system refuses are dropped from the list.
void make_folder(std::vector<Entry>& entries) {
    const fs::path& dir = work_dir();
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(dir, ignored)) {
        fs::remove_all(item.path(), ignored);
    }
    std::vector<Entry> made;
    for (const Entry& e : entries) {
        const fs::path path = dir / e.name;
        std::error_code error;
        if (e.isDir) {
            fs::create_directory(path, error);
        } else {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            if (f == nullptr) {
                continue;
            }
            std::fclose(f);
        }
        if (!error) {
            made.push_back(e);
        }
    }
    entries = std::move(made);
}

// list_page lists the working folder and returns the page (no header).
std::string list_page(bool table, std::vector<Entry>* visible, const std::vector<Entry>& entries) {
    std::FILE* out = std::tmpfile();
    FUZZ_CHECK(out != nullptr);
    {
        Corvane request("/nonexistent-dirvane-fuzz/Dirvane.ini", "config.index", true, out);
        if (visible != nullptr) {
            for (const Entry& e : entries) {
                if (!request.is_ignored(e.name)) {
                    visible->push_back(e);
                }
            }
        }
        if (table) {
            request.put_table("", false);
        } else {
            request.put_normal("", false);
        }
    }
    std::string page;
    std::rewind(out);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) {
        page.append(buffer, n);
    }
    std::fclose(out);
    return page;
}

int hex(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string decode_href(std::string_view href) {
    std::string out;
    for (std::size_t i = 0; i < href.size(); ++i) {
        const auto c = static_cast<unsigned char>(href[i]);
        FUZZ_CHECK(c > 0x20 && c != '"' && c != '<' && c != '>' && c != 0x7F && c != '#' &&
                   c != '?' && c != '&');
        if (c == '%') {
            FUZZ_CHECK(i + 2 < href.size());
            const int hi = hex(href[i + 1]);
            const int lo = hex(href[i + 2]);
            FUZZ_CHECK(hi >= 0 && lo >= 0);
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string unescape_text(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        FUZZ_CHECK(text[i] != '<' && text[i] != '>');
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        bool matched = false;
        for (const auto& [entity, c] :
             {std::pair<std::string_view, char>{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}}) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size() - 1;
                matched = true;
                break;
            }
        }
        FUZZ_CHECK(matched);
    }
    return out;
}

// take_anchors removes every anchor's href and text from `page` and returns
// them.
std::vector<Anchor> take_anchors(std::string& page) {
    std::vector<Anchor> anchors;
    std::string rest;
    std::size_t pos = 0;
    constexpr std::string_view open = "<a href=\"";
    for (std::size_t at = page.find(open); at != std::string::npos; at = page.find(open, pos)) {
        const std::size_t hrefStart = at + open.size();
        const std::size_t hrefEnd = page.find('"', hrefStart);
        FUZZ_CHECK(hrefEnd != std::string::npos && page.compare(hrefEnd, 2, "\">") == 0);
        const std::size_t textStart = hrefEnd + 2;
        const std::size_t textEnd = page.find("</a>", textStart);
        FUZZ_CHECK(textEnd != std::string::npos);
        anchors.push_back({page.substr(hrefStart, hrefEnd - hrefStart),
                           page.substr(textStart, textEnd - textStart)});
        rest.append(page, pos, hrefStart - pos);
        rest += "\">";
        pos = textEnd;
    }
    rest.append(page, pos, std::string::npos);
    page = std::move(rest);
    return anchors;
}

struct Shape {
    std::size_t anchors = 0;
    std::size_t lt = 0;
    std::size_t gt = 0;
    std::size_t quotes = 0;
};

Shape shape_of(std::string page) {
    Shape s;
    s.anchors = take_anchors(page).size();
    s.lt = static_cast<std::size_t>(std::count(page.begin(), page.end(), '<'));
    s.gt = static_cast<std::size_t>(std::count(page.begin(), page.end(), '>'));
    s.quotes = static_cast<std::size_t>(std::count(page.begin(), page.end(), '"'));
    return s;
}

// The shape of a page without entries and what each entry adds.
struct Baseline {
    Shape empty;
    Shape perEntry;
};

Baseline baseline(bool table) {
    std::vector<Entry> none;
    make_folder(none);
    const Shape empty = shape_of(list_page(table, nullptr, none));
    std::vector<Entry> one{{"x", false}};
    make_folder(one);
    const Shape withOne = shape_of(list_page(table, nullptr, one));
    return {empty,
            {withOne.anchors - empty.anchors, withOne.lt - empty.lt, withOne.gt - empty.gt,
             withOne.quotes - empty.quotes}};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const unsigned flags = data[0];
    const bool table = (flags & 1) != 0;
    static const Baseline baselines[2] = {baseline(false), baseline(true)};
    const Baseline& base = baselines[table ? 1 : 0];

    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<Entry> entries;
    std::set<std::string> seen;
    for (std::size_t pos = 0; pos <= text.size() && entries.size() < 6;) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string name(text.substr(pos, std::min<std::size_t>(end - pos, 255)));
        pos = end + 1;
        // What no file system allows in a name.
        std::replace(name.begin(), name.end(), '/', '_');
        std::replace(name.begin(), name.end(), '\0', '_');
        // vv.path would switch the program's own log on.
        if (name.empty() || name == "." || name == ".." || name == "vv.path" ||
            !seen.insert(name).second) {
            continue;
        }
        const bool isDir = ((flags >> (1 + entries.size())) & 1) != 0;
        entries.push_back({name, isDir});
    }
    make_folder(entries);
    std::vector<Entry> visible;
    std::string page = list_page(table, &visible, entries);

    std::string rest = page;
    const std::vector<Anchor> anchors = take_anchors(rest);
    FUZZ_CHECK(anchors.size() == base.empty.anchors + visible.size());
    std::multimap<std::string, std::string> links; // decoded href -> unescaped text
    for (const Anchor& a : anchors) {
        // A leading "./" names the same entry (it keeps "a:b" from reading
        // as a scheme).
        std::string target = decode_href(a.href);
        if (target.rfind("./", 0) == 0) {
            target.erase(0, 2);
        }
        links.emplace(target, unescape_text(a.text));
    }
    for (const Entry& e : visible) {
        const std::string target = e.isDir ? e.name + "/" : e.name;
        FUZZ_CHECK(links.count(target) == 1);
        // The text shows the name, its control bytes as "?".
        std::string shown = e.name;
        std::replace_if(
            shown.begin(), shown.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
        FUZZ_CHECK(links.find(target)->second == shown);
    }
    for (const char c : rest) {
        const auto b = static_cast<unsigned char>(c);
        FUZZ_CHECK(b < 0x80 && (b >= 0x20 || b == '\n') && b != 0x7F);
    }
    const Shape shape = shape_of(page);
    const std::size_t n = visible.size();
    FUZZ_CHECK(shape.lt == base.empty.lt + n * base.perEntry.lt);
    FUZZ_CHECK(shape.gt == base.empty.gt + n * base.perEntry.gt);
    FUZZ_CHECK(shape.quotes == base.empty.quotes + n * base.perEntry.quotes);
    return 0;
}

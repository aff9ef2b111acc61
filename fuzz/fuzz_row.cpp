// fuzz_row: any bytes as a row template and three cell texts. RowTemplate
// puts the cells in place of the template's first "%d", "%s" and "%n" (no
// cell is searched, whatever "%" it holds), which for cells like the
// listings' is the row of replacing the placeholders one after another; a
// name cell built from a fuzzed name keeps the name's bytes
// only inside the percent-encoded href and the escaped text.
#include "cgi/html.h"
#include "cgi/row_template.h"
#include "fuzz/fuzz_check.h"
#include "runtime/url.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Four parts separated by NUL bytes: template, date, size, name.
    std::string_view parts[4];
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = i == 3 ? input.size() : input.find('\0', pos);
        if (end == std::string_view::npos) {
            parts[i] = input.substr(pos);
            pos = input.size();
        } else {
            parts[i] = input.substr(pos, end - pos);
            pos = end + 1 > input.size() ? input.size() : end + 1;
        }
    }
    const RowTemplate row(parts[0]);
    FUZZ_CHECK(row.text() == parts[0] && row.size() == parts[0].size());
    std::string out = "prefix";
    row.append(out, parts[1], parts[2], parts[3]);
    // The placeholders are those of the template: mark them in turn with
    // tokens that hold no "%" and start with a NUL byte (which the template,
    // split at NUL bytes, cannot hold), so no replacement creates or breaks
    // one; then put the cells in place of the tokens.
    std::string expected(parts[0]);
    const std::string tokens[] = {std::string("\0D", 2), std::string("\0S", 2),
                                  std::string("\0N", 2)};
    replace_first(expected, "%d", tokens[0]);
    replace_first(expected, "%s", tokens[1]);
    replace_first(expected, "%n", tokens[2]);
    for (int cell = 0; cell < 3; ++cell) {
        replace_first(expected, tokens[cell], parts[1 + cell]);
    }
    FUZZ_CHECK(out == "prefix" + expected);
    // For cells like the listings' (not empty, no "%", not starting with "s"
    // or "n")
    // that is also the row of replacing the placeholders in turn.
    const auto plain = [](std::string_view cell) {
        return !cell.empty() && cell.find('%') == std::string_view::npos && cell[0] != 's' &&
               cell[0] != 'n';
    };
    if (plain(parts[1]) && plain(parts[2])) {
        std::string inTurn(parts[0]);
        replace_first(inTurn, "%d", parts[1]);
        replace_first(inTurn, "%s", parts[2]);
        replace_first(inTurn, "%n", parts[3]);
        FUZZ_CHECK(out == "prefix" + inTurn);
    }

    // A name cell as the listing writes it, in a template without markup of
    // its own: whatever lies outside the tags is escaped text.
    const std::string_view name = parts[3];
    std::string cell = "<a href=\"";
    vv_url_encode_append(cell, name, kUrlPathKeep, false);
    cell += "\">";
    append_escaped_html(cell, name);
    cell += "</a>";
    std::string page;
    RowTemplate("<tr><td>%n</td></tr>").append(page, "", "", cell);
    const std::size_t hrefStart = page.find("href=\"") + 6;
    const std::size_t hrefEnd = page.find('"', hrefStart);
    FUZZ_CHECK(hrefEnd != std::string::npos);
    FUZZ_CHECK(page.compare(hrefEnd, 2, "\">") == 0);
    const std::size_t textEnd = page.rfind("</a></td></tr>");
    FUZZ_CHECK(textEnd == page.size() - 14);
    const std::string_view text = std::string_view(page).substr(hrefEnd + 2, textEnd - hrefEnd - 2);
    FUZZ_CHECK(text.find('<') == std::string_view::npos &&
               text.find('>') == std::string_view::npos);
    FUZZ_CHECK(page.compare(0, 13, "<tr><td><a hr") == 0);
    return 0;
}

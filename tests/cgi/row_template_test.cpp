// Row templates: filling them in one pass gives the row that replacing the
// placeholders one after another gives.
#include "cgi/html.h"
#include "cgi/row_template.h"

#include <gtest/gtest.h>

namespace {

std::string replaced_in_turn(std::string row, std::string_view date, std::string_view size,
                             std::string_view name) {
    replace_first(row, "%d", date);
    replace_first(row, "%s", size);
    replace_first(row, "%n", name);
    return row;
}

TEST(RowTemplate, Examples) {
    const std::pair<const char*, const char*> cases[] = {
        {"%n : %s : %d", "N : S : D"},
        {"%n %n", "N %n"},
        {"%s|%n", "S|N"},
        {"%d %d", "D %d"},
        {"width=\"10%\">%s", "width=\"10%\">S"},
        {"no placeholders", "no placeholders"},
        {"%%d%%s%%n", "%D%S%N"},
        {"", ""},
    };
    for (const auto& [text, row] : cases) {
        std::string out;
        RowTemplate(text).append(out, "D", "S", "N");
        EXPECT_EQ(out, row) << text;
    }
}

// Cells are never searched: a "%n" in the date cell (a fuzz finding) stays,
// and the name goes where the template has its "%n".
TEST(RowTemplate, CellsHoldingPercentAreCopiedAsTheyAre) {
    std::string out;
    RowTemplate("<tr><td>%d</td><td>%s</td><td>%n</td></tr>")
        .append(out, "%n%2026-01-01", "s1", "N");
    EXPECT_EQ(out, "<tr><td>%n%2026-01-01</td><td>s1</td><td>N</td></tr>");
    out.clear();
    RowTemplate("%%d|%n").append(out, "s", "S", "N");
    EXPECT_EQ(out, "%s|N");
}

// Every template of up to seven characters over "%", "d", "s", "n" and "x",
// with cells shaped like the real ones (a name cell that holds placeholders).
TEST(RowTemplate, MatchesReplacementInTurnForEveryShortTemplate) {
    const std::string alphabet = "%dsnx";
    const std::string date = "2004/11/05 09:07", size = "    1 KB", name = "<a>%d%s%n</a>";
    std::string text;
    std::size_t checked = 0;
    const auto visit = [&](auto&& self, std::size_t depth) -> void {
        std::string out = "prefix";
        RowTemplate(text).append(out, date, size, name);
        ASSERT_EQ(out, "prefix" + replaced_in_turn(text, date, size, name)) << text;
        ++checked;
        if (depth == 7)
            return;
        for (const char c : alphabet) {
            text.push_back(c);
            self(self, depth + 1);
            text.pop_back();
        }
    };
    visit(visit, 0);
    EXPECT_EQ(checked, 97656u);
}

} // namespace

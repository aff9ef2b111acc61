// Sort links and search form fields of the templates.
#include "cgi/option_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FieldCase {
    std::string text;
    std::string expected;
};

TEST(OptionFields, SortLinksFormFieldsAndWhatStaysText) {
    ListingState on;
    on.visitorOptions = true;
    on.column = 'S';
    on.descending = false;
    on.query = "\xE6\x97\xA5 <b>\"&'";
    on.count = 7;
    const FieldCase cases[] = {
        {"plain <th>Name</th>", "plain <th>Name</th>"},
        {"%{sort:N:Name}", "<a href=\"?C=N&amp;O=A&amp;q=%E6%97%A5%20%3Cb%3E%22%26%27\" "
                           "rel=\"nofollow\">Name</a>"},
        // The column shown ascending: the link reverses, the arrow tells.
        {"%{sort:S:Size}", "<a href=\"?C=S&amp;O=D&amp;q=%E6%97%A5%20%3Cb%3E%22%26%27\" "
                           "rel=\"nofollow\">Size <span role=\"img\" "
                           "aria-label=\"(ascending)\">&#9650;</span></a>"},
        {"<th%{aria:S}>|<th%{aria:N}>", "<th aria-sort=\"ascending\">|<th>"},
        {"value=\"%{q}\"", "value=\"\xE6\x97\xA5 &lt;b&gt;&quot;&amp;&#39;\""},
        {"%{order}", "<input type=\"hidden\" name=\"C\" value=\"S\">"
                     "<input type=\"hidden\" name=\"O\" value=\"A\">"},
        {"%{count} entries", "7 entries"},
        {"%{sort:X:Bad} %{unknown} %{ %{q", "%{sort:X:Bad} %{unknown} %{ %{q"},
        {"100%{count}%", "1007%"},
    };
    for (const FieldCase& c : cases)
        EXPECT_EQ(expand_option_fields(c.text, on), c.expected) << c.text;

    ListingState descending = on;
    descending.descending = true;
    descending.query = "";
    EXPECT_EQ(expand_option_fields("%{sort:S:Size}%{aria:S}", descending),
              "<a href=\"?C=S&amp;O=A\" rel=\"nofollow\">Size <span role=\"img\" "
              "aria-label=\"(descending)\">&#9660;</span></a> aria-sort=\"descending\"");

    // Without the switch: labels alone, nothing from the request.
    ListingState off = on;
    off.visitorOptions = false;
    EXPECT_EQ(expand_option_fields("%{sort:S:Size}|%{aria:S}|%{q}|%{order}|%{count}", off),
              "Size||||7");
}

} // namespace

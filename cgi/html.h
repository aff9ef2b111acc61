// Text replacement and HTML escaping of page texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// escape_html replaces "&", "<" and ">" in `text` by their entities and
// returns `text`, and every control byte (0x00-0x1F, 0x7F) by "?". Quotes are
// left alone; the text goes into element content.
// In UTF-8 mode every byte of an invalid sequence becomes U+FFFD first
// (platform::page_text), so the page stays valid UTF-8.
std::string& escape_html(std::string& text);

// append_escaped_html appends the escaped form of `text` to `out`.
void append_escaped_html(std::string& out, std::string_view text);

// escaped_html returns an escaped copy of `text`.
std::string escaped_html(std::string_view text);

// is_plain_link_text tells whether `text` stands in a link as it is: it is
// its own URL path form and its own page text, and its href cannot read as a
// scheme. Only printable ASCII can be: no blank, no ":", none of the bytes a
// URL path encodes (";?&[]#%<>\"{}|\\^`") and none that escaping changes.
bool is_plain_link_text(std::string_view text);

// replace_all replaces every `from` in `text` by `to`, searching on behind
// each inserted text; returns the number of replacements.
std::size_t replace_all(std::string& text, std::string_view from, std::string_view to);

// replace_first replaces the first `placeholder` in `row` by `value`; returns
// whether it occurred.
bool replace_first(std::string& row, std::string_view placeholder, std::string_view value);

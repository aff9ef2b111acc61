// The text rules of profile files: what a read finds in a file's text and
// the text a write leaves, plain text work shared by every build (the file
// services that read and replace the file are the system's own).
//
// A line "[name]" opens a section, a line "name=value" is a key of the
// section above it; names compare without regard to ASCII letter case and
// are trimmed, as values are; a line that starts with ";" is a comment. A
// UTF-8 byte order mark at the start belongs to no line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// profile_trim removes the blanks (space, tab, CR, VT, FF) around a name or
// a value, as profile files read them.
std::string_view profile_trim(std::string_view text);

// profile_text_value returns the value of `key` in `section` of the profile
// text `text`, with one pair of matching quotation marks around it removed;
// nullopt when the section or the key is missing.
std::optional<std::string> profile_text_value(std::string_view text, std::string_view section,
                                              std::string_view key);

// valid_profile_entry tells whether `key` in `section` may be set to
// `value`: a write must make no other line and a read must find the names
// again, so no line break anywhere, no "]" in the section, no "=" in the key
// and no key that would read as a section or a comment.
bool valid_profile_entry(std::string_view section, std::string_view key, std::string_view value);

// profile_text_with returns `text` with `key` in `section` set to `value`
// and every other line as it was: an existing key's line is replaced (the
// key keeps its stored spelling), a new key goes after the last non-empty
// line of the first section of that name, and a new section goes at the
// end after a blank line. Lines written end with "\r\n". The entry must be
// valid (valid_profile_entry).
std::string profile_text_with(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view value);

} // namespace platform

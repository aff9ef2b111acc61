// Conversions between the text layer's byte strings (code page 932, or UTF-8
// when the layer is switched to it) and the UTF-16 text of the wide Win32
// functions. The file services call the ANSI functions while the text is
// code page 932, which is the system's own code page then; UTF-8 names take
// the wide functions through these conversions.
#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// ansi_text tells whether the text layer's bytes are the ANSI code page
// (code page 932), so that the "A" functions take them as they are.
bool ansi_text();

// text_code_page returns the code page of the text layer's bytes.
unsigned text_code_page();

// to_wide converts `text` from the text layer's character set; an invalid
// byte becomes the code page's default character.
std::wstring to_wide(std::string_view text);

// from_wide converts UTF-16 text to the text layer's character set.
std::string from_wide(std::wstring_view text);

// c_text makes a terminated copy of `text`; false for an empty text or one
// with an embedded NUL, which no Win32 function could take.
bool c_text(std::string_view text, std::string& out);

// error_text returns the system's message for the error code `code`,
// without its line end and final full stop ("error N" when it has none).
std::string error_text(unsigned long code);

} // namespace platform::win32

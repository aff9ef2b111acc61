// The pieces of the JSON form of a listing: strings and times.
#pragma once

#include "cgi/time_value.h"

#include <string>
#include <string_view>

// append_json_string appends `text` (in the text layer's character set) as a
// JSON string in UTF-8: every byte that forms no character becomes U+FFFD;
// quotes, backslashes, control characters and the line separators U+2028
// and U+2029 are escaped, so the text is safe inside a script too.
void append_json_string(std::string& out, std::string_view text);

// append_json_time appends `time` as a JSON string in ISO 8601, UTC, with
// milliseconds ("2004-11-05T00:07:03.120Z"), or null for a missing time.
void append_json_time(std::string& out, const TimeValue& time);

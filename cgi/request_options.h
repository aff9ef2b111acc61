// The options a visitor's request may carry in its query string: the sort
// column and direction, a name filter and the JSON form. Only a listing whose
// style switches "visitor" on reads them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct RequestOptions {
    // The sort column: 'N' name, 'M' last written, 'S' size, 'E' extension,
    // 'T' type; 0 when the request names none (the settings' order stays).
    char column = 0;
    bool descending = false;
    // The name filter's bytes, percent-decoded; empty lists every entry.
    std::string query;
    // "format=json": the listing is answered as JSON; "format=html" as the
    // page, whatever the Accept header prefers.
    bool json = false;
    bool formatGiven = false;
};

// kOptionValueLimit bounds a value: a longer one is cut at a character
// boundary at or before this many bytes.
constexpr std::size_t kOptionValueLimit = 256;

// parse_request_options reads a query string. Parameters are separated by
// "&" or ";"; names and values are percent-decoded ("+" is a blank). Only
// C (N, M, S, E, T), O (A, D), q and format (json, html) are read; an unknown
// name or value, a repetition (the first stays), a broken percent-encoding
// or a value holding a NUL byte leaves the parameter out. Never fails.
RequestOptions parse_request_options(std::string_view queryString);

// sort_key_of returns the "sort" setting that a column and direction name:
// "name"/"rname", "time"/"rtime", "size"/"rsize", "ext"/"rext" and "type"
// (which has no reversed order, so it stays ascending).
std::string_view sort_key_of(char column, bool descending);

// folded_codes returns the characters of `text` (in the text layer's
// character set) with their case folded as the ignore lists and the name
// order fold it: the form in which the name filter compares.
std::vector<unsigned> folded_codes(std::string_view text);

// name_contains tells whether `query` occurs in `name`, both folded_codes;
// an empty query occurs in every name.
bool name_contains(const std::vector<unsigned>& name, const std::vector<unsigned>& query);

// accept_prefers_json tells whether an Accept header value rates
// application/json above text/html (each by its most specific media range:
// the type itself, then type/*, then */*; "q" from 0 to 1).
bool accept_prefers_json(std::string_view accept);

// column_of_sort_key is sort_key_of backwards: the column and direction of a
// "sort" setting, column 0 for a key that no column names.
char column_of_sort_key(std::string_view key, bool& descending);

// The registry export format of the store file (see platform/registry.h for
// its rules): the file's text read into keys and values, looked up without
// regard to ASCII letter case, and written back in one canonical form.
// Plain text work, shared by every build.
#pragma once

#include "platform/failure.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::reg {

// Value is one value of a key: a number (dword) or a text of any bytes.
struct Value {
    std::string name;
    bool isNumber = false;
    std::uint32_t number = 0;
    std::string text;
};

// Key is one key header with its values in file order.
struct Key {
    std::string path; // below HKEY_LOCAL_MACHINE, as first spelled in the file
    std::vector<Value> values;
};

// Document is the parsed file: its keys in file order.
struct Document {
    std::vector<Key> keys;
};

// valid_key_path: a key below the root, not empty, with no control byte
// (which a header line could not hold).
bool valid_key_path(std::string_view key);

// full_key_name is `key` with the root in front: "HKEY_LOCAL_MACHINE\<key>".
std::string full_key_name(std::string_view key);

// find_key returns the key with the header `key`; nullptr when there is none.
Key* find_key(Document& doc, std::string_view key);

// key_present: the key has a header of its own or one of a key below it.
bool key_present(const Document& doc, std::string_view key);

// find_value returns the value `name` of `key`; nullptr when there is none.
Value* find_value(Key& key, std::string_view name);
const Value* find_value(const Key* key, std::string_view name);

// format_document writes `doc` as the file's text: the header line, then
// each key with its values, every line ended by "\r\n".
std::string format_document(const Document& doc);

// parse_document reads the text of the file `path`; when the text is
// malformed, the failure's path names the file and the line ("<path>:<line>")
// and its reason what was expected. An empty text holds no keys.
Outcome<Document> parse_document(std::string_view text, const std::string& path);

} // namespace platform::reg

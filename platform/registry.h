// Registry store: the keys under HKEY_LOCAL_MACHINE that the web server and
// Vanecfg share, kept in one text file in the registry export format.
//
// The file reads
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_LOCAL_MACHINE\SOFTWARE\AnHTTPd\default\Index]
//     "Default"="index.html,index.htm"
//
//     [HKEY_LOCAL_MACHINE\SOFTWARE\AnHTTPd\default\Progs]
//     "Count"=dword:00000000
//
// with lines ended by "\r\n" (a plain "\n" is read too), empty lines and
// lines starting with ";" ignored (and not kept when the file is rewritten).
// Value names and texts are byte strings between double quotes: a backslash
// is written "\\", a double quote "\"", and every byte below 0x20 and 0x7F as
// "\x" and two hex digits; all other bytes (Shift_JIS included, whose trail
// byte 0x5C is then written "\\") stand as they are. A number is "dword:"
// and one to eight hex digits. Key paths and value names compare without
// regard to ASCII letter case, as the registry does. A key exists when its
// header, or the header of a key below it, is in the file.
//
// Each operation reads the whole file; a change rewrites it whole under an
// exclusive lock on "<file>.lock" into "<file>.tmp" and renames that over the
// file, so a crash leaves the old file or the new one, never half a file, and
// two processes changing the file at once both keep their values. A file
// that cannot be read (anything but a regular file of at most 1 MiB) or
// parsed is never rewritten.
#pragma once

#include "platform/failure.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// registry_default_path returns the store file's path: $DIRVANE_REGISTRY
// when set, else $XDG_CONFIG_HOME/dirvane/registry.reg, else
// ~/.config/dirvane/registry.reg; "" when there is no home folder either.
std::string registry_default_path();

#ifndef _WIN32
// user_settings_folder returns the folder of the user's own settings for
// Dirvane's programs: $XDG_CONFIG_HOME/dirvane (an absolute one), else
// ~/.config/dirvane; "" when there is no home folder either.
std::string user_settings_folder();
#endif

// RegistryFault is the kind of a failed store operation, for callers that
// act on it.
enum class RegistryFault {
    missing,    // the store file, the key or the value is not there
    unreadable, // the store cannot be read: no access, or a malformed file
    unwritable, // the store cannot be changed: no access, or the write failed
};

// RegistryFailure is why a store operation failed, and its kind.
struct RegistryFailure : Failure {
    RegistryFault kind = RegistryFault::missing;
};

// RegistryOutcome is the result of a store operation: the value read, or
// the failure.
template <typename T> using RegistryOutcome = Outcome<T, RegistryFailure>;

// RegistryStore is the store kept in one file. Keys are paths below
// HKEY_LOCAL_MACHINE, such as "SOFTWARE\\AnHTTPd\\default\\Index". No
// operation throws; each gives its value or its failure, such as
// "/home/u/.config/dirvane/registry.reg:12: expected ...".
class RegistryStore {
  public:
    // RegistryStore uses the file at `path`; nothing is read yet.
    explicit RegistryStore(std::string path) : m_path(std::move(path)) {}

    // path returns the store file's path.
    const std::string& path() const { return m_path; }

    // read_number returns the number value `name` of `key`; missing when the
    // file, the key or the value is missing, or the value is text.
    RegistryOutcome<std::uint32_t> read_number(std::string_view key, std::string_view name) const;

    // read_text returns the text value `name` of `key`; missing when the
    // file, the key or the value is missing, or the value is a number.
    RegistryOutcome<std::string> read_text(std::string_view key, std::string_view name) const;

    // value_names returns the names of the values of `key` in file order.
    RegistryOutcome<std::vector<std::string>> value_names(std::string_view key) const;

    // key_exists tells whether `key` exists (false when it cannot be told).
    bool key_exists(std::string_view key) const;

    // write_number sets value `name` of the existing `key` to the number
    // `value`, replacing a value of either type. Fails when the key is
    // missing (it is not created) or the file cannot be read or replaced.
    RegistryOutcome<void> write_number(std::string_view key, std::string_view name,
                                       std::uint32_t value);

    // write_text sets value `name` of the existing `key` to the text `value`;
    // failures as for write_number.
    RegistryOutcome<void> write_text(std::string_view key, std::string_view name,
                                     std::string_view value);

    // delete_value removes value `name` of `key`. Fails when the key or the
    // value is missing, or the file cannot be read or replaced.
    RegistryOutcome<void> delete_value(std::string_view key, std::string_view name);

    // create_key makes `key` exist, creating the file (with the header line)
    // and its folder when missing. Succeeds when the key exists afterwards.
    RegistryOutcome<void> create_key(std::string_view key);

  private:
    std::string m_path;
};

// RegistryReplaceHook is called with the temporary file's path after a
// change has been written to it and before it replaces the store file.
using RegistryReplaceHook = void (*)(const std::string& temporary_path);

// set_registry_replace_hook installs `hook` for the whole process (nullptr
// removes it). A seam for tests that end the process at that point.
void set_registry_replace_hook(RegistryReplaceHook hook);

} // namespace platform

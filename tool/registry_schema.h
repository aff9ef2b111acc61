// The AnHTTPd registry values Vanecfg and dirvane-httpd share: the keys and
// value names the server reads its index documents and program bindings
// from, and the steps that bind the folder settings file to Dirvane there.
// Nothing here shows a window; both programs report the outcome themselves.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The AnHTTPd keys below HKEY_LOCAL_MACHINE and their value names.
inline constexpr std::string_view anhttpd_index_key = "SOFTWARE\\AnHTTPd\\default\\Index";
inline constexpr std::string_view anhttpd_progs_key = "SOFTWARE\\AnHTTPd\\default\\Progs";
inline constexpr std::string_view anhttpd_attrs_key = "SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs";
inline constexpr std::string_view anhttpd_names_key = "SOFTWARE\\AnHTTPd\\default\\Progs\\Names";
inline constexpr std::string_view anhttpd_index_list = "Default"; // in the Index key
inline constexpr std::string_view anhttpd_count = "Count";        // in the Progs key

// anhttpd_cgi_attributes is the Attrs value of an extension run as a program.
inline constexpr std::uint32_t anhttpd_cgi_attributes = 3;

// The messages after a change of the registration, shown by both programs.
inline constexpr std::string_view regist_done_message = " レジストリを変更しました。　";
inline constexpr std::string_view regist_error_message =
    " レジストリ変更時にエラーが発生しました。　";

// conf_extension returns the extension of the folder settings file name:
// everything from its first "." on (".index" for "config.index", ".b.c" for
// "a.b.c"); "" for a name without ".".
std::string conf_extension(std::string_view confName);

// is_registered tells whether `confName` occurs in the server's index list
// ("Default"), as a plain substring with letter case respected, so a longer
// name holding it counts too.
bool is_registered(const platform::RegistryStore& store, std::string_view confName);

// RegistChange says what change_registration did.
enum class RegistChange {
    none,    // the name has no extension: nothing done, nothing to report
    added,   // the name was appended to the list and bound to the program
    removed, // the name was taken out of the list and its binding deleted
};

// RegistResult is the outcome of change_registration; `failure` is set when
// any write or delete failed (the ones that succeeded stay): the store's
// reason for the first that failed.
struct RegistResult {
    RegistChange change = RegistChange::none;
    std::optional<platform::RegistryFailure> failure;

    bool ok() const { return !failure; }
};

// change_registration removes `confName` from the index list and deletes its
// extension's Attrs and Names values when it is registered, and otherwise
// appends it and binds the extension to `cgiPath` (Attrs 3, Names the path);
// "Count" goes down or up by one when the extension's Attrs value was set or
// was not (it never goes below 0 or wraps past the top). The caller asks the
// user first and shows regist_done_message or regist_error_message after.
RegistResult change_registration(platform::RegistryStore& store, std::string_view confName,
                                 std::string_view cgiPath);

// ensure_anhttpd_keys creates what a freshly installed server has when it is
// missing: the four keys, "Default" = "index.html,index.htm" and "Count" =
// 0. Values present (an empty list too) are left alone. Fails with the
// store's reason when the store cannot be written.
platform::RegistryOutcome<void> ensure_anhttpd_keys(platform::RegistryStore& store);

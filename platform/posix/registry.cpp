// POSIX only: the registry store is a file in the registry export format,
// read and replaced whole through the file services, its writers taking
// turns by a FileLock on "<file>.lock"; a link is written through and a
// read-only file left alone.
#include "platform/registry.h"

#include "platform/common/ascii.h"
#include "platform/common/registry_document.h"
#include "platform/file.h"
#include "platform/posix/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace platform {

namespace {

using reg::Document;
using reg::find_key;
using reg::find_value;
using reg::full_key_name;
using reg::Key;
using reg::key_present;
using reg::valid_key_path;
using reg::Value;

// ---- file access --------------------------------------------------------

using Status = RegistryOutcome<void>;

// fail is a failure of `kind`: `operation` on `path` and why.
RegistryFailure fail(RegistryFault kind, std::string operation, std::string path,
                     std::string reason) {
    return RegistryFailure{{std::move(operation), std::move(path), std::move(reason)}, kind};
}

// system_failure is `operation` on `path` failed with the system's error `code`.
RegistryFailure system_failure(RegistryFault kind, std::string operation, std::string path,
                               int code) {
    return fail(kind, std::move(operation), std::move(path), std::strerror(code));
}

std::string parent_folder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// load reads and parses the store; a missing file is an empty document when
// `missingIsEmpty`, else a failure.
RegistryOutcome<Document> load(const std::string& path, bool missingIsEmpty) {
    std::string text;
    errno = 0;
    if (read_file_contents(path, text)) {
        Outcome<Document> doc = reg::parse_document(text, path);
        if (!doc) {
            return RegistryFailure{doc.failure(), RegistryFault::unreadable};
        }
        return std::move(doc).value();
    }
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR) {
        if (missingIsEmpty) {
            return Document{};
        }
        return fail(RegistryFault::missing, "", path, "no such file");
    }
    // Opened, but no regular file of at most max_file_contents bytes.
    if (code != 0) {
        return system_failure(RegistryFault::unreadable, "cannot read", path, code);
    }
    return fail(RegistryFault::unreadable, "cannot read", path,
                "not a regular file of at most " + std::to_string(max_file_contents) + " bytes");
}

// change runs `edit` on the store under the lock and writes the result back;
// nothing is written when reading, parsing or `edit` fails.
Status change(const std::string& named, bool create, const std::function<Status(Document&)>& edit) {
    if (named.empty()) {
        return fail(RegistryFault::unwritable, "", "",
                    "no registry file (set DIRVANE_REGISTRY or HOME)");
    }
    // A link is written through, to its target; a read-only file is left
    // alone.
    const std::string path = posix::link_target(named);
    if (path.empty()) {
        return system_failure(RegistryFault::unwritable, "cannot write", named, errno);
    }
    if (!posix::may_write(path)) {
        return system_failure(RegistryFault::unwritable, "cannot write", path, errno);
    }
    if (create && !create_directories(parent_folder(path))) {
        return system_failure(RegistryFault::unwritable, "cannot create the folder",
                              parent_folder(path), errno);
    }
    FileLock lock;
    if (!lock.acquire(path + ".lock")) {
        // No folder for the lock file: the store file is missing too.
        return errno == ENOENT ? fail(RegistryFault::missing, "", path, "no such file")
                               : system_failure(RegistryFault::unwritable, "cannot lock",
                                                path + ".lock", errno);
    }
    RegistryOutcome<Document> doc = load(path, create);
    if (!doc) {
        return doc.failure();
    }
    Document edited = std::move(doc).value();
    if (Status edit_status = edit(edited); !edit_status) {
        return edit_status;
    }
    if (!replace_file_contents(path, reg::format_document(edited))) {
        return system_failure(RegistryFault::unwritable, "cannot write", path, errno);
    }
    return {};
}

RegistryFailure no_key(const std::string& path, std::string_view key) {
    return fail(RegistryFault::missing, "", path, "no key " + full_key_name(key));
}

// no_value is the failure for value `name` of `key` that is not there as
// `what` ("number", "text", "value").
RegistryFailure no_value(const std::string& path, std::string_view what, std::string_view name,
                         std::string_view key) {
    return fail(RegistryFault::missing, "", path,
                "no " + std::string(what) + " \"" + std::string(name) + "\" in " +
                    full_key_name(key));
}

// write_value sets one value of an existing key.
Status write_value(const std::string& path, std::string_view key, Value value) {
    if (!valid_key_path(key)) {
        return fail(RegistryFault::missing, "", "", "invalid key name");
    }
    return change(path, false, [&](Document& doc) -> Status {
        if (!key_present(doc, key)) {
            return no_key(path, key);
        }
        Key* k = find_key(doc, key);
        if (k == nullptr) { // present only through a key below it
            doc.keys.push_back(Key{std::string(key), {}});
            k = &doc.keys.back();
        }
        if (Value* old = find_value(*k, value.name)) {
            old->isNumber = value.isNumber;
            old->number = value.number;
            old->text = std::move(value.text);
        } else {
            k->values.push_back(std::move(value));
        }
        return {};
    });
}

// find_stored_value reads the store and finds value `name` of `key` of the
// type `isNumber` tells.
RegistryOutcome<Value> find_stored_value(const std::string& path, std::string_view key,
                                         std::string_view name, bool isNumber) {
    RegistryOutcome<Document> loaded = load(path, false);
    if (!loaded) {
        return loaded.failure();
    }
    Document doc = std::move(loaded).value();
    const Value* v = find_value(find_key(doc, key), name);
    if (v == nullptr || v->isNumber != isNumber) {
        return key_present(doc, key) ? no_value(path, isNumber ? "number" : "text", name, key)
                                     : no_key(path, key);
    }
    return *v;
}

} // namespace

std::string registry_default_path() {
    const char* explicitPath = std::getenv("DIRVANE_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') {
        return explicitPath;
    }
    const std::string folder = user_settings_folder();
    return folder.empty() ? folder : folder + "/registry.reg";
}

std::string user_settings_folder() {
    std::string config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home != nullptr && *home != '\0') {
            config = home;
        } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir) {
            config = user->pw_dir;
        } else {
            return std::string();
        }
        config += "/.config";
    }
    return config + "/dirvane";
}

RegistryOutcome<std::uint32_t> RegistryStore::read_number(std::string_view key,
                                                          std::string_view name) const {
    RegistryOutcome<Value> value = find_stored_value(m_path, key, name, true);
    if (!value) {
        return value.failure();
    }
    return value.value().number;
}

RegistryOutcome<std::string> RegistryStore::read_text(std::string_view key,
                                                      std::string_view name) const {
    RegistryOutcome<Value> value = find_stored_value(m_path, key, name, false);
    if (!value) {
        return value.failure();
    }
    return std::move(value).value().text;
}

RegistryOutcome<std::vector<std::string>> RegistryStore::value_names(std::string_view key) const {
    RegistryOutcome<Document> loaded = load(m_path, false);
    if (!loaded) {
        return loaded.failure();
    }
    Document doc = std::move(loaded).value();
    if (!key_present(doc, key)) {
        return no_key(m_path, key);
    }
    std::vector<std::string> names;
    if (const Key* k = find_key(doc, key)) {
        for (const Value& v : k->values) {
            names.push_back(v.name);
        }
    }
    return names;
}

bool RegistryStore::key_exists(std::string_view key) const {
    const RegistryOutcome<Document> loaded = load(m_path, false);
    return loaded && key_present(loaded.value(), key);
}

RegistryOutcome<void> RegistryStore::write_number(std::string_view key, std::string_view name,
                                                  std::uint32_t value) {
    return write_value(m_path, key, Value{std::string(name), true, value, {}});
}

RegistryOutcome<void> RegistryStore::write_text(std::string_view key, std::string_view name,
                                                std::string_view value) {
    return write_value(m_path, key, Value{std::string(name), false, 0, std::string(value)});
}

RegistryOutcome<void> RegistryStore::delete_value(std::string_view key, std::string_view name) {
    return change(m_path, false, [&](Document& doc) -> Status {
        if (!key_present(doc, key)) {
            return no_key(m_path, key);
        }
        if (Key* k = find_key(doc, key)) {
            for (auto it = k->values.begin(); it != k->values.end(); ++it) {
                if (ascii::equal_no_case(it->name, name)) {
                    k->values.erase(it);
                    return {};
                }
            }
        }
        return no_value(m_path, "value", name, key);
    });
}

RegistryOutcome<void> RegistryStore::create_key(std::string_view key) {
    if (!valid_key_path(key)) {
        return fail(RegistryFault::unwritable, "", "", "invalid key name");
    }
    if (key_exists(key)) {
        return {}; // nothing to write
    }
    return change(m_path, true, [&](Document& doc) -> Status {
        if (find_key(doc, key) == nullptr) {
            doc.keys.push_back(Key{std::string(key), {}});
        }
        return {};
    });
}

void set_registry_replace_hook(RegistryReplaceHook hook) {
    set_replace_hook(hook);
}

} // namespace platform

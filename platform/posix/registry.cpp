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

std::string system_error(const std::string& what, int code) {
    return what + ": " + std::strerror(code);
}

// Failure writes why an operation failed into the store's last failure and
// last error.
struct Failure {
    RegistryFailure& kind;
    std::string& text;

    // set keeps `failure` and `reason`; false, for an operation to return.
    bool set(RegistryFailure failure, std::string reason) {
        kind = failure;
        text = std::move(reason);
        return false;
    }
};

std::string parent_folder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// load reads and parses the store; a missing file is an empty document when
// `missingIsEmpty`, else an error.
bool load(const std::string& path, Document& doc, bool missingIsEmpty, Failure& failure) {
    std::string text;
    errno = 0;
    if (read_file_contents(path, text)) {
        if (!reg::parse_document(text, path, doc, failure.text)) {
            failure.kind = RegistryFailure::unreadable;
            return false;
        }
        return true;
    }
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR) {
        doc.keys.clear();
        if (missingIsEmpty) {
            return true;
        }
        return failure.set(RegistryFailure::missing, path + ": no such file");
    }
    // Opened, but no regular file of at most max_file_contents bytes.
    return failure.set(RegistryFailure::unreadable,
                       code != 0 ? system_error("cannot read " + path, code)
                                 : "cannot read " + path + ": not a regular file of at most " +
                                       std::to_string(max_file_contents) + " bytes");
}

// change runs `edit` on the store under the lock and writes the result back;
// nothing is written when reading, parsing or `edit` fails.
bool change(const std::string& named, bool create,
            const std::function<bool(Document&, Failure&)>& edit, Failure& failure) {
    if (named.empty()) {
        return failure.set(RegistryFailure::unwritable,
                           "no registry file (set DIRVANE_REGISTRY or HOME)");
    }
    // A link is written through, to its target; a read-only file is left
    // alone.
    const std::string path = posix::link_target(named);
    if (path.empty()) {
        return failure.set(RegistryFailure::unwritable,
                           system_error("cannot write " + named, errno));
    }
    if (!posix::may_write(path)) {
        return failure.set(RegistryFailure::unwritable,
                           system_error("cannot write " + path, errno));
    }
    if (create && !create_directories(parent_folder(path))) {
        return failure.set(RegistryFailure::unwritable,
                           system_error("cannot create the folder " + parent_folder(path), errno));
    }
    FileLock lock;
    if (!lock.acquire(path + ".lock")) {
        // No folder for the lock file: the store file is missing too.
        return errno == ENOENT ? failure.set(RegistryFailure::missing, path + ": no such file")
                               : failure.set(RegistryFailure::unwritable,
                                             system_error("cannot lock " + path + ".lock", errno));
    }
    Document doc;
    if (!load(path, doc, create, failure) || !edit(doc, failure)) {
        return false;
    }
    if (!replace_file_contents(path, reg::format_document(doc))) {
        return failure.set(RegistryFailure::unwritable,
                           system_error("cannot write " + path, errno));
    }
    return true;
}

std::string no_key_error(const std::string& path, std::string_view key) {
    return path + ": no key " + full_key_name(key);
}

// write_value sets one value of an existing key.
bool write_value(const std::string& path, std::string_view key, Value value, Failure& failure) {
    if (!valid_key_path(key)) {
        return failure.set(RegistryFailure::missing, "invalid key name");
    }
    return change(
        path, false,
        [&](Document& doc, Failure& why) {
            if (!key_present(doc, key)) {
                return why.set(RegistryFailure::missing, no_key_error(path, key));
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
            return true;
        },
        failure);
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

std::uint32_t RegistryStore::read_number(std::string_view key, std::string_view name) const {
    Document doc;
    Failure failure{m_failure, m_error};
    if (!load(m_path, doc, false, failure)) {
        return 0;
    }
    const Value* v = find_value(find_key(doc, key), name);
    if (v == nullptr || !v->isNumber) {
        failure.set(RegistryFailure::missing, key_present(doc, key)
                                                  ? m_path + ": no number \"" + std::string(name) +
                                                        "\" in " + full_key_name(key)
                                                  : no_key_error(m_path, key));
        return 0;
    }
    failure.set(RegistryFailure::none, {});
    return v->number;
}

std::string RegistryStore::read_text(std::string_view key, std::string_view name) const {
    Document doc;
    Failure failure{m_failure, m_error};
    if (!load(m_path, doc, false, failure)) {
        return std::string();
    }
    const Value* v = find_value(find_key(doc, key), name);
    if (v == nullptr || v->isNumber) {
        failure.set(RegistryFailure::missing, key_present(doc, key)
                                                  ? m_path + ": no text \"" + std::string(name) +
                                                        "\" in " + full_key_name(key)
                                                  : no_key_error(m_path, key));
        return std::string();
    }
    failure.set(RegistryFailure::none, {});
    return v->text;
}

std::vector<std::string> RegistryStore::value_names(std::string_view key) const {
    std::vector<std::string> names;
    Document doc;
    Failure failure{m_failure, m_error};
    if (!load(m_path, doc, false, failure)) {
        return names;
    }
    if (!key_present(doc, key)) {
        failure.set(RegistryFailure::missing, no_key_error(m_path, key));
        return names;
    }
    if (const Key* k = find_key(doc, key)) {
        for (const Value& v : k->values) {
            names.push_back(v.name);
        }
    }
    failure.set(RegistryFailure::none, {});
    return names;
}

bool RegistryStore::key_exists(std::string_view key) const {
    Document doc;
    Failure failure{m_failure, m_error};
    if (!load(m_path, doc, false, failure)) {
        return false;
    }
    if (!key_present(doc, key)) {
        return failure.set(RegistryFailure::missing, no_key_error(m_path, key));
    }
    failure.set(RegistryFailure::none, {});
    return true;
}

bool RegistryStore::write_number(std::string_view key, std::string_view name, std::uint32_t value) {
    Failure failure{m_failure, m_error};
    failure.set(RegistryFailure::none, {});
    return write_value(m_path, key, Value{std::string(name), true, value, {}}, failure);
}

bool RegistryStore::write_text(std::string_view key, std::string_view name,
                               std::string_view value) {
    Failure failure{m_failure, m_error};
    failure.set(RegistryFailure::none, {});
    return write_value(m_path, key, Value{std::string(name), false, 0, std::string(value)},
                       failure);
}

bool RegistryStore::delete_value(std::string_view key, std::string_view name) {
    Failure failure{m_failure, m_error};
    failure.set(RegistryFailure::none, {});
    return change(
        m_path, false,
        [&](Document& doc, Failure& why) {
            if (!key_present(doc, key)) {
                return why.set(RegistryFailure::missing, no_key_error(m_path, key));
            }
            if (Key* k = find_key(doc, key)) {
                for (auto it = k->values.begin(); it != k->values.end(); ++it) {
                    if (ascii::equal_no_case(it->name, name)) {
                        k->values.erase(it);
                        return true;
                    }
                }
            }
            return why.set(RegistryFailure::missing, m_path + ": no value \"" + std::string(name) +
                                                         "\" in " + full_key_name(key));
        },
        failure);
}

bool RegistryStore::create_key(std::string_view key) {
    Failure failure{m_failure, m_error};
    if (!valid_key_path(key)) {
        return failure.set(RegistryFailure::unwritable, "invalid key name");
    }
    if (key_exists(key)) {
        return true; // nothing to write
    }
    failure.set(RegistryFailure::none, {});
    return change(
        m_path, true,
        [&](Document& doc, Failure&) {
            if (find_key(doc, key) == nullptr) {
                doc.keys.push_back(Key{std::string(key), {}});
            }
            return true;
        },
        failure);
}

void set_registry_replace_hook(RegistryReplaceHook hook) {
    set_replace_hook(hook);
}

} // namespace platform

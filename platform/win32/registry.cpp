// Win32 only: the store is the Windows registry itself, reached with the
// ANSI registry functions, so names and texts are bytes in the ANSI code
// page (932) and Shift_JIS round-trips byte for byte.
//
// The store's "path" names the root below which the key paths lie: a hive,
// optionally followed by a subkey, such as "HKEY_LOCAL_MACHINE" (the default)
// or "HKEY_CURRENT_USER\Software\DirvaneTest\7" (a test's own corner). The
// hives may also be written HKLM, HKCU, HKU and HKCR.
//
// Every key is opened in the 32-bit view of the registry (KEY_WOW64_32KEY):
// the web server whose keys these are is a 32-bit program, so a 64-bit build
// must look where it looks (on 32-bit Windows the flag changes nothing).
//
// The five value operations open an existing key and never create one;
// reads ask for read access, writes for full access. Only create_key creates
// keys (with the keys above it).
#include "platform/registry.h"

#include "platform/common/ascii.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr std::string_view default_root = "HKEY_LOCAL_MACHINE";

// Root is a store path taken apart: the hive's handle, its name as written
// in messages and the subkey below it ("" for the hive itself).
struct Root {
    HKEY hive = nullptr;
    std::string hiveName;
    std::string subkey;
};

bool parse_root(std::string_view path, Root& root) {
    const std::size_t slash = path.find('\\');
    const std::string_view hive = path.substr(0, slash);
    struct Known {
        std::string_view longName;
        std::string_view shortName;
        HKEY handle;
    };
    const Known known[] = {
        {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
        {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
        {"HKEY_USERS", "HKU", HKEY_USERS},
        {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    };
    for (const Known& k : known) {
        if (ascii::equal_no_case(hive, k.longName) || ascii::equal_no_case(hive, k.shortName)) {
            root.hive = k.handle;
            root.hiveName = std::string(k.longName);
            root.subkey.clear();
            if (slash != std::string_view::npos) {
                std::string_view rest = path.substr(slash + 1);
                while (!rest.empty() && rest.back() == '\\') {
                    rest.remove_suffix(1);
                }
                root.subkey = std::string(rest);
            }
            return true;
        }
    }
    return false;
}

// valid_key_path: a key below the root, not empty, not starting with a
// backslash and with no control byte.
bool valid_key_path(std::string_view key) {
    if (key.empty() || key.front() == '\\') {
        return false;
    }
    for (char c : key) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            return false;
        }
    }
    return true;
}

bool has_nul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

using Status = RegistryOutcome<void>;

// fail is a failure of `kind`: `operation` on `path` and why.
RegistryFailure fail(RegistryFault kind, std::string operation, std::string path,
                     std::string reason) {
    return RegistryFailure{{std::move(operation), std::move(path), std::move(reason)}, kind};
}

RegistryFailure invalid_value_name() {
    return fail(RegistryFault::missing, "", "", "invalid value name");
}

// OpenKey opens one key below the store's root and closes it again.
class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    // open opens `key` of the store at `storePath` with `access`; a key that
    // is not there is missing, a store that cannot be opened unreadable, and
    // the failure names the key.
    Status open(const std::string& storePath, std::string_view key, REGSAM access) {
        if (Status resolved = resolve(storePath, key); !resolved) {
            return resolved;
        }
        const LONG result =
            RegOpenKeyExA(m_root.hive, m_subkey.c_str(), 0, access | KEY_WOW64_32KEY, &m_key);
        if (result != ERROR_SUCCESS) {
            m_key = nullptr;
            return result == ERROR_FILE_NOT_FOUND
                       ? fail(RegistryFault::missing, "no key", name(), "")
                       : fail(RegistryFault::unreadable, "cannot open", name(),
                              win32::error_text(result));
        }
        return {};
    }

    // create opens `key`, creating it and the keys above it when missing.
    Status create(const std::string& storePath, std::string_view key) {
        if (Status resolved = resolve(storePath, key); !resolved) {
            return fail(RegistryFault::unwritable, "", "", resolved.failure().message());
        }
        const LONG result =
            RegCreateKeyExA(m_root.hive, m_subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WOW64_32KEY, nullptr, &m_key, nullptr);
        if (result != ERROR_SUCCESS) {
            m_key = nullptr;
            return fail(RegistryFault::unwritable, "cannot create", name(),
                        win32::error_text(result));
        }
        return {};
    }

    HKEY get() const { return m_key; }

    // name returns the key's full name, such as "HKEY_LOCAL_MACHINE\SOFTWARE\X".
    std::string name() const {
        return m_subkey.empty() ? m_root.hiveName : m_root.hiveName + "\\" + m_subkey;
    }

  private:
    Status resolve(const std::string& storePath, std::string_view key) {
        if (!parse_root(storePath, m_root)) {
            return fail(RegistryFault::unreadable, "", "",
                        "unknown registry root \"" + storePath + "\"");
        }
        if (!valid_key_path(key)) {
            return fail(RegistryFault::missing, "", "",
                        "invalid key name \"" + std::string(key) + "\"");
        }
        m_subkey =
            m_root.subkey.empty() ? std::string(key) : m_root.subkey + "\\" + std::string(key);
        return {};
    }

    Root m_root;
    std::string m_subkey;
    HKEY m_key = nullptr;
};

// query reads value `name` of the open key: its type and bytes.
LONG query(HKEY key, const std::string& name, DWORD& type, std::string& data) {
    DWORD size = 64;
    for (;;) {
        data.assign(size, '\0');
        DWORD got = size;
        const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &got);
        if (result == ERROR_MORE_DATA) {
            size = got > size ? got : size * 2;
            continue;
        }
        if (result == ERROR_SUCCESS) {
            data.resize(got);
        }
        return result;
    }
}

// value_failure is a failed value read: a value not there, or of the other
// type (`what`), is missing; any other failure leaves the store unreadable.
RegistryFailure value_failure(const OpenKey& key, std::string_view what, std::string_view name,
                              LONG result) {
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_SUCCESS) {
        return fail(RegistryFault::missing, "", key.name(),
                    "no " + std::string(what) + " \"" + std::string(name) + "\"");
    }
    return fail(RegistryFault::unreadable, "", key.name(),
                "cannot read \"" + std::string(name) + "\": " + win32::error_text(result));
}

// read_value reads value `name` of `key` when its type is one of `types`
// (and its size `exactSize`, unless that is 0).
RegistryOutcome<std::string> read_value(const std::string& storePath, std::string_view key,
                                        std::string_view name, std::string_view what,
                                        std::initializer_list<DWORD> types,
                                        std::size_t exactSize = 0) {
    if (has_nul(name)) {
        return invalid_value_name();
    }
    OpenKey open;
    if (Status opened = open.open(storePath, key, KEY_READ); !opened) {
        return opened.failure();
    }
    DWORD type = 0;
    std::string data;
    const LONG result = query(open.get(), std::string(name), type, data);
    if (result != ERROR_SUCCESS || std::find(types.begin(), types.end(), type) == types.end() ||
        (exactSize != 0 && data.size() != exactSize)) {
        return value_failure(open, what, name, result);
    }
    return data;
}

// write_failure is a write that could not open its key: a key not there is
// missing, any other failure leaves the store unwritable.
RegistryFailure write_failure(RegistryFailure failure) {
    if (failure.kind != RegistryFault::missing) {
        failure.kind = RegistryFault::unwritable;
    }
    return failure;
}

Status set_value(const std::string& storePath, std::string_view key, std::string_view name,
                 DWORD type, const BYTE* data, DWORD size) {
    if (has_nul(name)) {
        return fail(RegistryFault::unwritable, "", "", "invalid value name");
    }
    OpenKey open;
    if (Status opened = open.open(storePath, key, KEY_ALL_ACCESS); !opened) {
        return write_failure(opened.failure());
    }
    const LONG result = RegSetValueExA(open.get(), std::string(name).c_str(), 0, type, data, size);
    if (result != ERROR_SUCCESS) {
        return fail(RegistryFault::unwritable, "", open.name(),
                    "cannot write \"" + std::string(name) + "\": " + win32::error_text(result));
    }
    return {};
}

} // namespace

std::string registry_default_path() {
    const char* explicitPath = std::getenv("DIRVANE_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') {
        return explicitPath;
    }
    return std::string(default_root);
}

RegistryOutcome<std::uint32_t> RegistryStore::read_number(std::string_view key,
                                                          std::string_view name) const {
    const RegistryOutcome<std::string> data =
        read_value(m_path, key, name, "number", {REG_DWORD}, sizeof(DWORD));
    if (!data) {
        return data.failure();
    }
    DWORD value = 0;
    std::memcpy(&value, data.value().data(), sizeof value);
    return value;
}

RegistryOutcome<std::string> RegistryStore::read_text(std::string_view key,
                                                      std::string_view name) const {
    RegistryOutcome<std::string> data =
        read_value(m_path, key, name, "text", {REG_SZ, REG_EXPAND_SZ});
    if (!data) {
        return data;
    }
    std::string text = std::move(data).value();
    if (!text.empty() && text.back() == '\0') {
        text.pop_back(); // the terminator stored with the text
    }
    return text;
}

RegistryOutcome<std::vector<std::string>> RegistryStore::value_names(std::string_view key) const {
    OpenKey open;
    if (Status opened = open.open(m_path, key, KEY_READ); !opened) {
        return opened.failure();
    }
    const auto list_failure = [&](LONG result) {
        return fail(RegistryFault::unreadable, "", open.name(),
                    "cannot list the values: " + win32::error_text(result));
    };
    DWORD longest = 0;
    LONG result = RegQueryInfoKeyA(open.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &longest, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        return list_failure(result);
    }
    // The length is in characters; a double-byte character takes two bytes.
    std::vector<std::string> names;
    std::string buffer(2 * static_cast<std::size_t>(longest) + 2, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        result = RegEnumValueA(open.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                               nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result == ERROR_MORE_DATA) {
            // A value added meanwhile with a longer name: try it again.
            buffer.assign(buffer.size() * 2, '\0');
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS) {
            return list_failure(result);
        }
        names.emplace_back(buffer.data(), length);
    }
    return names;
}

bool RegistryStore::key_exists(std::string_view key) const {
    OpenKey open;
    return static_cast<bool>(open.open(m_path, key, KEY_READ));
}

RegistryOutcome<void> RegistryStore::write_number(std::string_view key, std::string_view name,
                                                  std::uint32_t value) {
    const DWORD number = value;
    return set_value(m_path, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     sizeof number);
}

RegistryOutcome<void> RegistryStore::write_text(std::string_view key, std::string_view name,
                                                std::string_view value) {
    if (has_nul(value)) {
        return fail(RegistryFault::unwritable, "", "", "a text value cannot hold a NUL byte");
    }
    const std::string text(value); // with its terminator, which the size counts
    return set_value(m_path, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
}

RegistryOutcome<void> RegistryStore::delete_value(std::string_view key, std::string_view name) {
    if (has_nul(name)) {
        return invalid_value_name();
    }
    OpenKey open;
    if (Status opened = open.open(m_path, key, KEY_ALL_ACCESS); !opened) {
        return write_failure(opened.failure());
    }
    const LONG result = RegDeleteValueA(open.get(), std::string(name).c_str());
    if (result == ERROR_FILE_NOT_FOUND) {
        return fail(RegistryFault::missing, "", open.name(),
                    "no value \"" + std::string(name) + "\"");
    }
    if (result != ERROR_SUCCESS) {
        return fail(RegistryFault::unwritable, "", open.name(),
                    "cannot delete \"" + std::string(name) + "\": " + win32::error_text(result));
    }
    return {};
}

RegistryOutcome<void> RegistryStore::create_key(std::string_view key) {
    OpenKey open;
    return open.create(m_path, key);
}

// The registry replaces each value in one step by itself, so there is no
// temporary file and no moment between writing and replacing: the hook is
// kept for the interface's sake and never called.
void set_registry_replace_hook(RegistryReplaceHook hook) {
    (void)hook;
}

} // namespace platform

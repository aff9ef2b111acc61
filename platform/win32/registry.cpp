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

    // open opens `key` of the store at `storePath` with `access`; on a
    // failure `error` names the key and the reason.
    bool open(const std::string& storePath, std::string_view key, REGSAM access,
              std::string& error) {
        if (!resolve(storePath, key, error)) {
            return false;
        }
        const LONG result =
            RegOpenKeyExA(m_root.hive, m_subkey.c_str(), 0, access | KEY_WOW64_32KEY, &m_key);
        if (result != ERROR_SUCCESS) {
            m_key = nullptr;
            m_failure = result == ERROR_FILE_NOT_FOUND ? RegistryFailure::missing
                                                       : RegistryFailure::unreadable;
            error = result == ERROR_FILE_NOT_FOUND
                        ? "no key " + name()
                        : "cannot open " + name() + ": " + win32::error_text(result);
            return false;
        }
        return true;
    }

    // create opens `key`, creating it and the keys above it when missing.
    bool create(const std::string& storePath, std::string_view key, std::string& error) {
        if (!resolve(storePath, key, error)) {
            return false;
        }
        const LONG result =
            RegCreateKeyExA(m_root.hive, m_subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WOW64_32KEY, nullptr, &m_key, nullptr);
        if (result != ERROR_SUCCESS) {
            m_key = nullptr;
            m_failure = RegistryFailure::unwritable;
            error = "cannot create " + name() + ": " + win32::error_text(result);
            return false;
        }
        return true;
    }

    HKEY get() const { return m_key; }

    // failure is the kind of the last failed open or create: a key that is
    // not there is missing, a store that cannot be opened unreadable.
    RegistryFailure failure() const { return m_failure; }

    // name returns the key's full name, such as "HKEY_LOCAL_MACHINE\SOFTWARE\X".
    std::string name() const {
        return m_subkey.empty() ? m_root.hiveName : m_root.hiveName + "\\" + m_subkey;
    }

  private:
    bool resolve(const std::string& storePath, std::string_view key, std::string& error) {
        if (!parse_root(storePath, m_root)) {
            m_failure = RegistryFailure::unreadable;
            error = "unknown registry root \"" + storePath + "\"";
            return false;
        }
        if (!valid_key_path(key)) {
            m_failure = RegistryFailure::missing;
            error = "invalid key name \"" + std::string(key) + "\"";
            return false;
        }
        m_subkey =
            m_root.subkey.empty() ? std::string(key) : m_root.subkey + "\\" + std::string(key);
        return true;
    }

    Root m_root;
    std::string m_subkey;
    HKEY m_key = nullptr;
    RegistryFailure m_failure = RegistryFailure::none;
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

// value_failure is the kind of a failed value read: a value not there, or
// of the other type, is missing.
RegistryFailure value_failure(LONG result) {
    return result == ERROR_FILE_NOT_FOUND || result == ERROR_SUCCESS ? RegistryFailure::missing
                                                                     : RegistryFailure::unreadable;
}

std::string value_error(const OpenKey& key, std::string_view what, std::string_view name,
                        LONG result) {
    std::string message = key.name() + ": ";
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_SUCCESS) {
        message += "no " + std::string(what) + " \"" + std::string(name) + "\"";
    } else {
        message += "cannot read \"" + std::string(name) + "\": " + win32::error_text(result);
    }
    return message;
}

// write_failure is the kind of a write that could not open its key: a key
// not there is missing, any other failure leaves the store unwritable.
RegistryFailure write_failure(const OpenKey& open) {
    return open.failure() == RegistryFailure::missing ? RegistryFailure::missing
                                                      : RegistryFailure::unwritable;
}

bool set_value(const std::string& storePath, std::string_view key, std::string_view name,
               DWORD type, const BYTE* data, DWORD size, std::string& error,
               RegistryFailure& failure) {
    failure = RegistryFailure::unwritable;
    if (has_nul(name)) {
        error = "invalid value name";
        return false;
    }
    OpenKey open;
    if (!open.open(storePath, key, KEY_ALL_ACCESS, error)) {
        failure = write_failure(open);
        return false;
    }
    const LONG result = RegSetValueExA(open.get(), std::string(name).c_str(), 0, type, data, size);
    if (result != ERROR_SUCCESS) {
        error = open.name() + ": cannot write \"" + std::string(name) +
                "\": " + win32::error_text(result);
        return false;
    }
    failure = RegistryFailure::none;
    return true;
}

} // namespace

std::string registry_default_path() {
    const char* explicitPath = std::getenv("DIRVANE_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') {
        return explicitPath;
    }
    return std::string(default_root);
}

std::uint32_t RegistryStore::read_number(std::string_view key, std::string_view name) const {
    OpenKey open;
    if (has_nul(name) || !open.open(m_path, key, KEY_READ, m_error)) {
        m_failure = has_nul(name) ? RegistryFailure::missing : open.failure();
        if (has_nul(name)) {
            m_error = "invalid value name";
        }
        return 0;
    }
    const std::string valueName(name);
    DWORD type = 0;
    std::string data;
    const LONG result = query(open.get(), valueName, type, data);
    if (result != ERROR_SUCCESS || type != REG_DWORD || data.size() != sizeof(DWORD)) {
        m_error = value_error(open, "number", name, result);
        m_failure = value_failure(result);
        return 0;
    }
    m_error.clear();
    m_failure = RegistryFailure::none;
    DWORD value = 0;
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

std::string RegistryStore::read_text(std::string_view key, std::string_view name) const {
    OpenKey open;
    if (has_nul(name) || !open.open(m_path, key, KEY_READ, m_error)) {
        m_failure = has_nul(name) ? RegistryFailure::missing : open.failure();
        if (has_nul(name)) {
            m_error = "invalid value name";
        }
        return std::string();
    }
    DWORD type = 0;
    std::string data;
    const LONG result = query(open.get(), std::string(name), type, data);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        m_error = value_error(open, "text", name, result);
        m_failure = value_failure(result);
        return std::string();
    }
    if (!data.empty() && data.back() == '\0') {
        data.pop_back(); // the terminator stored with the text
    }
    m_error.clear();
    m_failure = RegistryFailure::none;
    return data;
}

std::vector<std::string> RegistryStore::value_names(std::string_view key) const {
    std::vector<std::string> names;
    OpenKey open;
    if (!open.open(m_path, key, KEY_READ, m_error)) {
        m_failure = open.failure();
        return names;
    }
    DWORD longest = 0;
    LONG result = RegQueryInfoKeyA(open.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &longest, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        m_error = open.name() + ": cannot list the values: " + win32::error_text(result);
        m_failure = RegistryFailure::unreadable;
        return names;
    }
    // The length is in characters; a double-byte character takes two bytes.
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
            m_error = open.name() + ": cannot list the values: " + win32::error_text(result);
            m_failure = RegistryFailure::unreadable;
            names.clear();
            return names;
        }
        names.emplace_back(buffer.data(), length);
    }
    m_error.clear();
    m_failure = RegistryFailure::none;
    return names;
}

bool RegistryStore::key_exists(std::string_view key) const {
    OpenKey open;
    if (!open.open(m_path, key, KEY_READ, m_error)) {
        m_failure = open.failure();
        return false;
    }
    m_error.clear();
    m_failure = RegistryFailure::none;
    return true;
}

bool RegistryStore::write_number(std::string_view key, std::string_view name, std::uint32_t value) {
    m_error.clear();
    const DWORD number = value;
    return set_value(m_path, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     sizeof number, m_error, m_failure);
}

bool RegistryStore::write_text(std::string_view key, std::string_view name,
                               std::string_view value) {
    m_error.clear();
    if (has_nul(value)) {
        m_error = "a text value cannot hold a NUL byte";
        m_failure = RegistryFailure::unwritable;
        return false;
    }
    const std::string text(value); // with its terminator, which the size counts
    return set_value(m_path, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1), m_error, m_failure);
}

bool RegistryStore::delete_value(std::string_view key, std::string_view name) {
    m_error.clear();
    m_failure = RegistryFailure::none;
    if (has_nul(name)) {
        m_error = "invalid value name";
        m_failure = RegistryFailure::missing;
        return false;
    }
    OpenKey open;
    if (!open.open(m_path, key, KEY_ALL_ACCESS, m_error)) {
        m_failure = write_failure(open);
        return false;
    }
    const LONG result = RegDeleteValueA(open.get(), std::string(name).c_str());
    if (result != ERROR_SUCCESS) {
        m_failure =
            result == ERROR_FILE_NOT_FOUND ? RegistryFailure::missing : RegistryFailure::unwritable;
        m_error = result == ERROR_FILE_NOT_FOUND
                      ? open.name() + ": no value \"" + std::string(name) + "\""
                      : open.name() + ": cannot delete \"" + std::string(name) +
                            "\": " + win32::error_text(result);
        return false;
    }
    return true;
}

bool RegistryStore::create_key(std::string_view key) {
    m_error.clear();
    m_failure = RegistryFailure::none;
    OpenKey open;
    if (!open.create(m_path, key, m_error)) {
        m_failure = RegistryFailure::unwritable;
        return false;
    }
    return true;
}

// The registry replaces each value in one step by itself, so there is no
// temporary file and no moment between writing and replacing: the hook is
// kept for the interface's sake and never called.
void set_registry_replace_hook(RegistryReplaceHook hook) {
    (void)hook;
}

} // namespace platform

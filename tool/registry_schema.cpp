// The AnHTTPd registry values: binding the folder settings file to Dirvane
// and a fresh server's keys.
#include "tool/registry_schema.h"

#include "platform/common/ascii.h"

#include <algorithm>
#include <limits>

namespace {

// erase_first removes the first occurrence of `part` from `list`; false
// when there is none.
bool erase_first(std::string& list, std::string_view part) {
    const std::size_t at = list.find(part);
    if (at == std::string::npos) {
        return false;
    }
    list.erase(at, part.size());
    return true;
}

// value_present tells whether `name` is a value of `key` (of either type).
bool value_present(const platform::RegistryStore& store, std::string_view key,
                   std::string_view name) {
    for (const std::string& n : store.value_names(key).value_or({})) {
        if (platform::ascii::equal_no_case(n, name)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string conf_extension(std::string_view confName) {
    const std::size_t dot = confName.find('.');
    return dot == std::string_view::npos ? std::string() : std::string(confName.substr(dot));
}

bool is_registered(const platform::RegistryStore& store, std::string_view confName) {
    const std::string list = store.read_text(anhttpd_index_key, anhttpd_index_list).value_or("");
    return !list.empty() && list.find(confName) != std::string::npos;
}

RegistResult change_registration(platform::RegistryStore& store, std::string_view confName,
                                 std::string_view cgiPath) {
    RegistResult result;
    const std::string ext = conf_extension(confName);
    if (ext.empty()) {
        return result;
    }
    std::string list = store.read_text(anhttpd_index_key, anhttpd_index_list).value_or("");
    const std::uint32_t oldAttrs = store.read_number(anhttpd_attrs_key, ext).value_or(0);
    const std::uint32_t oldCount = store.read_number(anhttpd_progs_key, anhttpd_count).value_or(0);

    // step notes the outcome of one write or delete; the first failure is
    // kept.
    const auto step = [&](const platform::RegistryOutcome<void>& done) {
        if (!done && !result.failure) {
            result.failure = done.failure();
        }
    };
    const std::string name(confName);
    if (list.find(name) != std::string::npos) {
        result.change = RegistChange::removed;
        erase_first(list, "," + name);
        erase_first(list, name + ",");
        erase_first(list, name);
        step(store.write_text(anhttpd_index_key, anhttpd_index_list, list));
        step(store.delete_value(anhttpd_attrs_key, ext));
        step(store.delete_value(anhttpd_names_key, ext));
        if (oldAttrs != 0) {
            step(store.write_number(anhttpd_progs_key, anhttpd_count,
                                    oldCount == 0 ? 0 : oldCount - 1));
        }
    } else {
        result.change = RegistChange::added;
        if (!list.empty() && list.back() != ',') {
            list += ',';
        }
        list += name;
        step(store.write_text(anhttpd_index_key, anhttpd_index_list, list));
        step(store.write_number(anhttpd_attrs_key, ext, anhttpd_cgi_attributes));
        step(store.write_text(anhttpd_names_key, ext, cgiPath));
        if (oldAttrs == 0) {
            const std::uint32_t top = std::numeric_limits<std::uint32_t>::max();
            step(store.write_number(anhttpd_progs_key, anhttpd_count,
                                    oldCount == top ? top : oldCount + 1));
        }
    }
    return result;
}

platform::RegistryOutcome<void> ensure_anhttpd_keys(platform::RegistryStore& store) {
    for (std::string_view key :
         {anhttpd_index_key, anhttpd_progs_key, anhttpd_attrs_key, anhttpd_names_key}) {
        if (auto created = store.create_key(key); !created) {
            return created;
        }
    }
    if (!value_present(store, anhttpd_index_key, anhttpd_index_list)) {
        if (auto written =
                store.write_text(anhttpd_index_key, anhttpd_index_list, "index.html,index.htm");
            !written) {
            return written;
        }
    }
    if (!value_present(store, anhttpd_progs_key, anhttpd_count)) {
        return store.write_number(anhttpd_progs_key, anhttpd_count, 0);
    }
    return {};
}

// The sort orders of the entry list.
//
// Each entry's comparison texts (base name, extension, type name and their
// locale sort keys) are worked out once before the sort, so a comparison is a
// few byte compares; collating on every comparison would cost more than the
// whole directory scan of a large folder.
#include "cgi/entry_sort.h"

#include "cgi/ini_file.h"
#include "cgi/natural_compare.h"
#include "cgi/path.h"
#include "platform/text.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <optional>

namespace {

enum class Column { name, ext, type, size, time, bytes };

struct Order {
    Column column = Column::bytes;
    bool filesDescending = false;
    bool foldersDescending = false;
    bool rextStyle = false; // "rext": extension descending, then base name ascending
};

Order order_for_key(std::string_view key) {
    if (key.empty() || key == "name")
        return {Column::name};
    if (key == "ext")
        return {Column::ext};
    if (key == "type")
        return {Column::type};
    if (key == "size")
        return {Column::size};
    if (key == "time")
        return {Column::time};
    if (key == "r" || key == "rname")
        return {Column::name, true, true};
    if (key == "rext")
        return {Column::ext, true, false, true};
    if (key == "rsize")
        return {Column::size, true, false};
    if (key == "rtime")
        return {Column::time, true, true};
    if (key.front() == 'r')
        return {Column::bytes, true, true};
    return {Column::bytes};
}

int sign(int v) { return (v > 0) - (v < 0); }

int compare_keys(const std::string& a, const std::string& b) { return sign(a.compare(b)); }

int compare_times(const TimeValue& a, const TimeValue& b) {
    if (a.seconds != b.seconds)
        return a.seconds < b.seconds ? -1 : 1;
    if (a.microseconds != b.microseconds)
        return a.microseconds < b.microseconds ? -1 : 1;
    return 0;
}

// What the comparisons need of one entry. The views point into the entry's
// path, which does not move while the sort works on indices.
struct SortItem {
    const DirEntry* entry;
    NaturalKey pathKey;
    NaturalKey baseKey;
    std::string_view ext;
    mutable std::optional<std::string> extKey; // no-case sort key of ext
    std::string typeKey;                       // no-case sort key of the type name
    bool hasType = false;

    explicit SortItem(const DirEntry& e)
        : entry(&e), pathKey(e.path), baseKey(path_base_name(e.path)), ext(path_extension(e.path)) {}

    const std::string& ext_key() const {
        if (!extKey)
            extKey = platform::no_case_sort_key(ext);
        return *extKey;
    }
};

int compare_ext(const SortItem& a, const SortItem& b) {
    return compare_keys(a.ext_key(), b.ext_key());
}

// compare_file_names by base name, on the precomputed keys.
int compare_by_base(const SortItem& a, const SortItem& b) {
    const int c = compare_natural(a.baseKey, b.baseKey);
    return c != 0 ? c : compare_ext(a, b);
}

// compare_file_names by extension, on the precomputed keys.
int compare_by_ext(const SortItem& a, const SortItem& b) {
    const int c = compare_ext(a, b);
    return c != 0 ? c : compare_natural(a.baseKey, b.baseKey);
}

// Typed files first, grouped by type name; untyped files after them.
int compare_by_type(const SortItem& a, const SortItem& b) {
    if (!a.hasType)
        return b.hasType ? 1 : compare_natural(a.baseKey, b.baseKey);
    if (!b.hasType)
        return -1;
    const int c = compare_keys(a.typeKey, b.typeKey);
    return c != 0 ? c : compare_natural(a.baseKey, b.baseKey);
}

int compare_folders(const SortItem& a, const SortItem& b, const Order& order) {
    switch (order.column) {
    case Column::bytes:
        return sign(a.entry->path.compare(b.entry->path));
    case Column::time: {
        const int c = compare_times(a.entry->time, b.entry->time);
        if (c != 0)
            return c;
        // Equal times stay ascending by name in both directions.
        return order.foldersDescending ? -compare_natural(a.pathKey, b.pathKey)
                                       : compare_natural(a.pathKey, b.pathKey);
    }
    default:
        return compare_natural(a.pathKey, b.pathKey);
    }
}

int compare_files(const SortItem& a, const SortItem& b, const Order& order) {
    switch (order.column) {
    case Column::name:
        return compare_by_base(a, b);
    case Column::ext:
        if (order.rextStyle) {
            // Extension descending, equal extensions by base name ascending:
            // the caller reverses the whole result, so reverse the tie-break.
            const int c = compare_ext(a, b);
            return c != 0 ? c : -compare_natural(a.baseKey, b.baseKey);
        }
        return compare_by_ext(a, b);
    case Column::type:
        return compare_by_type(a, b);
    case Column::size: {
        const auto sa = a.entry->size, sb = b.entry->size;
        if (sa != sb)
            return sa < sb ? -1 : 1;
        // Equal sizes stay ascending by base name in both directions.
        return order.filesDescending ? -compare_by_base(a, b) : compare_by_base(a, b);
    }
    case Column::time: {
        const int c = compare_times(a.entry->time, b.entry->time);
        if (c != 0)
            return c;
        return order.filesDescending ? -compare_by_base(a, b) : compare_by_base(a, b);
    }
    case Column::bytes:
        return sign(a.entry->path.compare(b.entry->path));
    }
    return 0;
}

} // namespace

void sort_entries(std::vector<DirEntry>& list, std::string_view key, const IniFile& conf) {
    if (list.size() < 2)
        return;
    const Order order = order_for_key(key);

    std::vector<SortItem> items;
    items.reserve(list.size());
    for (const DirEntry& e : list) {
        SortItem& item = items.emplace_back(e);
        if (order.column == Column::type && !e.isDir) {
            const std::string type = conf.get_string("type", item.ext);
            item.hasType = !type.empty();
            if (item.hasType)
                item.typeKey = platform::no_case_sort_key(type);
        }
    }

    std::vector<std::size_t> index(list.size());
    std::iota(index.begin(), index.end(), std::size_t{0});
    std::stable_sort(index.begin(), index.end(), [&](std::size_t ia, std::size_t ib) {
        const SortItem& a = items[ia];
        const SortItem& b = items[ib];
        if (a.entry->isDir != b.entry->isDir)
            return a.entry->isDir;
        if (a.entry->isDir) {
            const int c = compare_folders(a, b, order);
            return order.foldersDescending ? c > 0 : c < 0;
        }
        const int c = compare_files(a, b, order);
        return order.filesDescending ? c > 0 : c < 0;
    });

    std::vector<DirEntry> sorted;
    sorted.reserve(list.size());
    for (const std::size_t i : index)
        sorted.push_back(std::move(list[i]));
    list.swap(sorted);
}

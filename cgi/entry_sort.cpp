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
#include "cgi/sort_memo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

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

int sign(int v) {
    return (v > 0) - (v < 0);
}

int compare_keys(const std::string& a, const std::string& b) {
    return sign(a.compare(b));
}

int compare_times(const TimeValue& a, const TimeValue& b) {
    if (a.seconds != b.seconds)
        return a.seconds < b.seconds ? -1 : 1;
    if (a.microseconds != b.microseconds)
        return a.microseconds < b.microseconds ? -1 : 1;
    return 0;
}

// What the comparisons need of one entry: a folder is compared by its full
// path, a file by its base name, extension and type. The views point into the
// entry's path, which does not move while the sort works on indices; the
// sort keys live in the sort's cache. A file's extension key is worked out
// when a comparison first needs it: by name, only files whose base names
// tie are compared by extension.
struct SortItem {
    DirEntry* entry;
    bool isDir;
    NaturalKey nameKey;                   // full path of a folder, base name of a file
    std::string_view ext;                 // a file's extension
    const std::string* typeKey = nullptr; // no-case key of the type name, if typed
    SortKeyCache* cache;
    mutable const std::string* extKey = nullptr; // no-case key of the extension, once needed

    SortItem(DirEntry& e, std::string_view name, SortKeyCache& keys)
        : entry(&e), isDir(e.isDir),
          nameKey(e.isDir ? std::string_view(e.path) : name_base(name), &keys), cache(&keys) {}

    const std::string& ext_key() const {
        if (extKey == nullptr)
            extKey = &cache->no_case_key(ext);
        return *extKey;
    }
};

// SortRef is what the sort moves: an item's place and its name's summary.
struct SortRef {
    NaturalHead head;
    std::uint32_t index = 0;
    bool isDir = false;
};

// compare_ext orders two files by their extensions without regard to case.
// Equal extensions have one key; others are keyed once each.
int compare_ext(const SortItem& a, const SortItem& b) {
    if (a.ext == b.ext)
        return 0;
    const std::string& keyA = a.ext_key();
    const std::string& keyB = b.ext_key();
    return &keyA == &keyB ? 0 : compare_keys(keyA, keyB);
}

// compare_file_names by base name, on the precomputed keys.
int compare_by_base(const SortItem& a, const SortItem& b) {
    const int c = compare_natural(a.nameKey, b.nameKey);
    return c != 0 ? c : compare_ext(a, b);
}

// compare_file_names by extension, on the precomputed keys.
int compare_by_ext(const SortItem& a, const SortItem& b) {
    const int c = compare_ext(a, b);
    return c != 0 ? c : compare_natural(a.nameKey, b.nameKey);
}

// Typed files first, grouped by type name; untyped files after them.
int compare_by_type(const SortItem& a, const SortItem& b) {
    if (a.typeKey == nullptr)
        return b.typeKey != nullptr ? 1 : compare_natural(a.nameKey, b.nameKey);
    if (b.typeKey == nullptr)
        return -1;
    const int c = a.typeKey == b.typeKey ? 0 : compare_keys(*a.typeKey, *b.typeKey);
    return c != 0 ? c : compare_natural(a.nameKey, b.nameKey);
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
        return order.foldersDescending ? -compare_natural(a.nameKey, b.nameKey)
                                       : compare_natural(a.nameKey, b.nameKey);
    }
    default:
        return compare_natural(a.nameKey, b.nameKey);
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
            return c != 0 ? c : -compare_natural(a.nameKey, b.nameKey);
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

// merge_sort sorts `v` stably by `less`: runs of a few elements by
// insertion, then bottom-up merges. An element moves before one that was
// ahead of it only when `less` says it is strictly less; two runs already
// in order (the first of the later run not less than the last of the
// earlier one) stay as they are, which makes a nearly sorted list cheap.
// Every step moves an element within its run or takes the next element of
// one of two runs, so the result is a permutation of `v` whatever `less`
// answers.
template <class T, class Less> void merge_sort(std::vector<T>& v, Less less) {
    constexpr std::size_t kRun = 8;
    const std::size_t n = v.size();
    for (std::size_t start = 0; start < n; start += kRun) {
        const std::size_t end = std::min(start + kRun, n);
        for (std::size_t i = start + 1; i < end; ++i) {
            if (!less(v[i], v[i - 1]))
                continue;
            T moving = v[i];
            std::size_t j = i;
            do {
                v[j] = v[j - 1];
                --j;
            } while (j > start && less(moving, v[j - 1]));
            v[j] = moving;
        }
    }
    if (n <= kRun)
        return;
    // Each merge copies the shorter of its two runs out and merges it with
    // the other back into place: from the front when the earlier run is
    // copied, from the back when the later one is. The place written never
    // passes the next element still to be read, and the buffer holds at
    // most half the list.
    std::vector<T> buffer(n / 2 + 1);
    for (std::size_t width = kRun; width < n; width *= 2) {
        for (std::size_t start = 0; start + width < n; start += 2 * width) {
            const std::size_t mid = start + width;
            const std::size_t end = std::min(start + 2 * width, n);
            if (!less(v[mid], v[mid - 1]))
                continue; // already in order
            const auto at = [&v](std::size_t i) {
                return v.begin() + static_cast<std::ptrdiff_t>(i);
            };
            if (mid - start <= end - mid) {
                const std::size_t count = mid - start;
                std::copy(at(start), at(mid), buffer.begin());
                std::size_t i = 0, j = mid, k = start;
                while (i < count && j < end)
                    v[k++] = less(v[j], buffer[i]) ? v[j++] : buffer[i++];
                while (i < count)
                    v[k++] = buffer[i++];
            } else {
                std::size_t j = end - mid;
                std::copy(at(mid), at(end), buffer.begin());
                std::size_t i = mid, k = end;
                // An element of the earlier run goes behind one of the later
                // run only when that one is strictly less.
                while (i > start && j > 0)
                    v[--k] = less(buffer[j - 1], v[i - 1]) ? v[--i] : buffer[--j];
                while (j > 0)
                    v[--k] = buffer[--j];
            }
        }
    }
}

// by_heads puts `refs` into the order of their summaries (heads, then the
// numbers of a group), ascending or `descending`, what the summaries leave
// equal in the order of the search: close to the final order, so that the
// merge sort finds most runs in order. Entries that compare equal have equal
// summaries and stay in the order of the search. An unknown head counts as
// 0 and takes no part in compare_heads afterwards.
void by_heads(std::vector<SortRef>& refs, bool descending) {
    for (SortRef& r : refs) {
        if (!r.head.known)
            r.head.head = 0;
        if (r.head.group == nullptr)
            r.head.number = 0;
    }
    const auto before = [](const SortRef& a, const SortRef& b) {
        if (a.head.head != b.head.head)
            return a.head.head < b.head.head;
        return a.head.number < b.head.number;
    };
    if (descending) {
        std::sort(refs.begin(), refs.end(), [&](const SortRef& a, const SortRef& b) {
            return before(b, a) || (!before(a, b) && a.index < b.index);
        });
    } else {
        std::sort(refs.begin(), refs.end(), [&](const SortRef& a, const SortRef& b) {
            return before(a, b) || (!before(b, a) && a.index < b.index);
        });
    }
}

// apply_order moves each element of `v` to its place in the order `source`
// gives (the element at i comes from source[i]), in place, one cycle of the
// permutation at a time: every element moves once, and one is held aside
// per cycle. `source` is left as the identity.
template <class T> void apply_order(std::vector<T>& v, std::vector<std::size_t>& source) {
    for (std::size_t start = 0; start < source.size(); ++start) {
        if (source[start] == start)
            continue;
        T carried = std::move(v[start]);
        std::size_t to = start;
        while (source[to] != start) {
            const std::size_t from = source[to];
            v[to] = std::move(v[from]);
            source[to] = to;
            to = from;
        }
        v[to] = std::move(carried);
        source[to] = to;
    }
}

// The orders remembered since keep_sort_orders.
std::unique_ptr<SortMemo> kept_orders;

} // namespace

void keep_sort_orders(std::size_t entries) {
    kept_orders = std::make_unique<SortMemo>(entries);
}

void sort_entries(std::vector<DirEntry>& list, std::string_view key, const IniFile& conf) {
    if (list.size() < 2)
        return;
    const Order order = order_for_key(key);
    SortMemo* memo = order.column == Column::type ? nullptr : kept_orders.get();
    const platform::Charset charset = platform::text_charset();
    if (memo != nullptr) {
        if (const std::vector<std::size_t>* known = memo->find(list, key, charset)) {
            std::vector<std::size_t> source = *known;
            apply_order(list, source);
            return;
        }
    }
    // The list as it came, for the memo.
    std::vector<DirEntry> unsorted;
    if (memo != nullptr && memo->takes(list.size()))
        unsorted = list;

    SortKeyCache cache;
    std::vector<SortItem> items;
    items.reserve(list.size());
    const bool needsExtension = order.column != Column::bytes;
    for (DirEntry& e : list) {
        const std::string_view name = e.isDir ? std::string_view() : path_file_name(e.path);
        SortItem& item = items.emplace_back(e, name, cache);
        if (e.isDir || !needsExtension)
            continue;
        const std::string_view ext = name_extension(name);
        item.ext = ext;
        if (order.column == Column::type) {
            const std::string type = conf.get_string("type", ext);
            if (!type.empty())
                item.typeKey = &cache.no_case_key(type);
        }
    }

    // The sort moves small records that sum each item's name up: by name,
    // most pairs order by the summaries alone (different names by the heads
    // of their keys, numbered names of one group by number). The rest, and
    // every other order, compare the items themselves. Folders come before
    // files in every order, so the two are sorted apart.
    const bool headsOrderFiles = order.column == Column::name;
    const bool headsOrderFolders = order.column != Column::bytes && order.column != Column::time;
    std::vector<SortRef> all(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        SortRef& ref = all[i];
        ref.index = static_cast<std::uint32_t>(i);
        ref.isDir = items[i].isDir;
        if (ref.isDir ? headsOrderFolders : headsOrderFiles)
            ref.head = items[i].nameKey.summary();
    }
    // The folders out and the files closed up behind them, each in the
    // order of the directory search, so that no second list of records is
    // held at once.
    std::vector<SortRef> folders;
    std::size_t fileCount = 0;
    for (const SortRef& ref : all) {
        if (ref.isDir)
            folders.push_back(ref);
        else
            all[fileCount++] = ref;
    }
    all.resize(fileCount);
    std::vector<SortRef> files = std::move(all);
    if (headsOrderFolders)
        by_heads(folders, order.foldersDescending);
    if (headsOrderFiles)
        by_heads(files, order.filesDescending);
    merge_sort(folders, [&](const SortRef& a, const SortRef& b) {
        int c = compare_heads(a.head, b.head);
        if (c == 0)
            c = compare_folders(items[a.index], items[b.index], order);
        return order.foldersDescending ? c > 0 : c < 0;
    });
    merge_sort(files, [&](const SortRef& a, const SortRef& b) {
        int c = compare_heads(a.head, b.head);
        if (c == 0)
            c = compare_files(items[a.index], items[b.index], order);
        return order.filesDescending ? c > 0 : c < 0;
    });

    // The list is the largest structure of a request: it is put into that
    // order in place, not copied.
    std::vector<std::size_t> source(list.size());
    std::size_t at = 0;
    for (const std::vector<SortRef>* refs : {&folders, &files}) {
        for (const SortRef& ref : *refs)
            source[at++] = static_cast<std::size_t>(items[ref.index].entry - list.data());
    }
    folders = {};
    files = {};
    items.clear();
    items.shrink_to_fit();
    if (!unsorted.empty())
        memo->remember(std::move(unsorted), key, charset, source);
    apply_order(list, source);
}

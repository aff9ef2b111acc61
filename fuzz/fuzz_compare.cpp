// fuzz_compare: any bytes as a small set of names (split at line feeds).
// compare_natural and compare_file_names (both orders) are antisymmetric and
// zero on equal texts, compare_natural zero only there; they compare pair by
// pair, so they need not be transitive. sort_entries keeps every entry, gives
// one result for the same entries in any order, keeps entries of equal path
// in size order, and leaves adjacent entries in order wherever the
// comparison is transitive on the set it sorted.
#include "cgi/entry_sort.h"
#include "cgi/ini_file.h"
#include "cgi/natural_compare.h"
#include "fuzz/fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

using Compare = std::function<int(std::string_view, std::string_view)>;

std::vector<int> order_table(const std::vector<std::string>& names, const Compare& compare) {
    const std::size_t n = names.size();
    std::vector<int> table(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            table[i * n + j] = sign(compare(names[i], names[j]));
        }
    }
    return table;
}

void check_pairs(const std::vector<std::string>& names, const Compare& compare,
                 bool zeroOnlyWhenEqual) {
    const std::size_t n = names.size();
    const std::vector<int> table = order_table(names, compare);
    for (std::size_t i = 0; i < n; ++i) {
        FUZZ_CHECK(table[i * n + i] == 0);
        for (std::size_t j = 0; j < n; ++j) {
            FUZZ_CHECK(table[i * n + j] == -table[j * n + i]);
            if (zeroOnlyWhenEqual) {
                FUZZ_CHECK((table[i * n + j] == 0) == (names[i] == names[j]));
            }
        }
    }
}

// is_transitive tells whether `compare` is a strict weak ordering on `names`:
// less and equal are both transitive, and equal then less is less.
bool is_transitive(const std::vector<std::string>& names, const Compare& compare) {
    const std::size_t n = names.size();
    const std::vector<int> table = order_table(names, compare);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k) {
                const int ij = table[i * n + j];
                const int jk = table[j * n + k];
                const int ik = table[i * n + k];
                if ((ij < 0 && jk < 0 && ik >= 0) || (ij == 0 && jk == 0 && ik != 0) ||
                    (ij == 0 && jk < 0 && ik >= 0)) {
                    return false;
                }
            }
        }
    }
    return true;
}

bool same_list(const std::vector<DirEntry>& a, const std::vector<DirEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const DirEntry& x, const DirEntry& y) {
                          return x.path == y.path && x.isDir == y.isDir && x.size == y.size;
                      });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    constexpr std::string_view keys[] = {"name",  "ext",  "type",  "size",  "time", "r",
                                         "rname", "rext", "rsize", "rtime", "other"};
    const std::string_view key = keys[data[0] % std::size(keys)];
    const unsigned folderBits = data[1];
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::vector<std::string> names;
    for (std::size_t pos = 0; pos <= text.size() && names.size() < 8;) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        names.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    check_pairs(
        names, [](std::string_view a, std::string_view b) { return compare_natural(a, b); }, true);
    check_pairs(
        names,
        [](std::string_view a, std::string_view b) { return compare_file_names(a, b, false); },
        false);
    check_pairs(
        names,
        [](std::string_view a, std::string_view b) { return compare_file_names(a, b, true); },
        false);

    // Each name twice, the copies told apart by size only.
    std::vector<DirEntry> list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::uint64_t copy = 0; copy < 2; ++copy) {
            DirEntry entry;
            entry.path = "/d/" + names[i];
            entry.isDir = ((folderBits >> i) & 1) != 0;
            entry.size = i * 2 + copy;
            entry.time = {};
            list.push_back(entry);
        }
    }
    const IniFile conf("");
    std::vector<DirEntry> sorted = list;
    sort_entries(sorted, key, conf);
    FUZZ_CHECK(sorted.size() == list.size());
    std::vector<std::uint64_t> sizes;
    for (const DirEntry& entry : sorted) {
        sizes.push_back(entry.size);
    }
    std::sort(sizes.begin(), sizes.end());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        FUZZ_CHECK(sizes[i] == i);
    }
    std::vector<DirEntry> twice = sorted;
    sort_entries(twice, key, conf);
    FUZZ_CHECK(same_list(twice, sorted));
    // The same entries in other orders: one result.
    std::vector<DirEntry> shuffled(list.rbegin(), list.rend());
    sort_entries(shuffled, key, conf);
    FUZZ_CHECK(same_list(shuffled, sorted));
    shuffled = list;
    std::rotate(shuffled.begin(),
                shuffled.begin() + static_cast<std::ptrdiff_t>(size % list.size()), shuffled.end());
    for (std::size_t i = 1; i < shuffled.size(); i += 3) {
        std::swap(shuffled[i - 1], shuffled[i]);
    }
    sort_entries(shuffled, key, conf);
    FUZZ_CHECK(same_list(shuffled, sorted));
    if (key == "name" || key == "ext") {
        // Where the comparison is transitive on the folders' paths (and on
        // the files' paths) the sort leaves every adjacent pair in order:
        // folders first, by compare_natural of the path, files by
        // compare_file_names.
        const bool byExtension = key == "ext";
        const Compare folderOrder = [](std::string_view a, std::string_view b) {
            return compare_natural(a, b);
        };
        const Compare fileOrder = [byExtension](std::string_view a, std::string_view b) {
            return compare_file_names(a, b, byExtension);
        };
        std::vector<std::string> folderPaths, filePaths;
        for (const DirEntry& entry : list) {
            (entry.isDir ? folderPaths : filePaths).push_back(entry.path);
        }
        const bool foldersInOrder = is_transitive(folderPaths, folderOrder);
        const bool filesInOrder = is_transitive(filePaths, fileOrder);
        for (std::size_t i = 1; i < sorted.size(); ++i) {
            const DirEntry& a = sorted[i - 1];
            const DirEntry& b = sorted[i];
            FUZZ_CHECK(a.isDir || !b.isDir);
            if (a.isDir && b.isDir && foldersInOrder) {
                FUZZ_CHECK(compare_natural(a.path, b.path) <= 0);
            } else if (!a.isDir && !b.isDir && filesInOrder) {
                FUZZ_CHECK(compare_file_names(a.path, b.path, byExtension) <= 0);
            }
        }
        // Folders and files of equal path stay in size order (the copies'
        // order in the list).
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            for (std::size_t j = i + 1; j < sorted.size(); ++j) {
                if (sorted[i].path == sorted[j].path && sorted[i].isDir == sorted[j].isDir) {
                    FUZZ_CHECK(sorted[i].size < sorted[j].size);
                }
            }
        }
    }
    return 0;
}

// fuzz_compare: any bytes as a small set of names (split at line feeds).
// compare_natural and compare_file_names (both orders) are antisymmetric,
// zero on equal texts and strict weak orderings (transitive: no three names
// in a cycle); compare_natural is zero only on equal texts. Numbered names of
// one group order by number. sort_entries keeps every entry, leaves adjacent
// entries in order, and keeps entries that compare equal in the order it was
// given them.
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

// check_transitive checks that `compare` is a strict weak ordering on
// `names`: less and equal are both transitive, and equal then less is less.
void check_transitive(const std::vector<std::string>& names, const Compare& compare) {
    const std::size_t n = names.size();
    const std::vector<int> table = order_table(names, compare);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k) {
                const int ij = table[i * n + j];
                const int jk = table[j * n + k];
                const int ik = table[i * n + k];
                FUZZ_CHECK(!(ij < 0 && jk < 0) || ik < 0);
                FUZZ_CHECK(!(ij == 0 && jk == 0) || ik == 0);
                FUZZ_CHECK(!(ij == 0 && jk < 0) || ik < 0);
            }
        }
    }
}

// check_groups checks that two names of one group (the same text before a
// final digit run, or before "(" digits ")") with different numbers order by
// number: each name gets the digits of the other name's number.
void check_groups(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::size_t end = !name.empty() && name.back() == ')' ? name.size() - 1 : name.size();
        std::size_t start = end;
        while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9')
            --start;
        if (start == end || end - start > 17 || name.find_first_of("0123456789") != start)
            continue;
        if (end != name.size() && (start == 0 || name[start - 1] != '('))
            continue;
        std::string bigger = name;
        bigger.insert(start, "1");
        FUZZ_CHECK(compare_natural(name, bigger) < 0);
        std::string more = name;
        more.replace(start, end - start, std::string(end - start + 1, '9'));
        FUZZ_CHECK(compare_natural(name, more) < 0);
    }
}

// check_sort sorts `input` (entries told apart by size) by `key` and checks
// the result: every entry once, folders first, and for the keys "name" and
// "ext" each adjacent pair in order, entries that compare equal in the order
// of `input`.
void check_sort(const std::vector<DirEntry>& input, std::string_view key) {
    const IniFile conf("");
    std::vector<DirEntry> sorted = input;
    sort_entries(sorted, key, conf);
    FUZZ_CHECK(sorted.size() == input.size());
    std::vector<std::size_t> placeOf(input.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        FUZZ_CHECK(input[i].size < input.size());
        placeOf[input[i].size] = i;
    }
    std::vector<bool> seen(input.size());
    for (const DirEntry& entry : sorted) {
        FUZZ_CHECK(entry.size < input.size() && !seen[entry.size]);
        seen[entry.size] = true;
    }
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        FUZZ_CHECK(sorted[i - 1].isDir || !sorted[i].isDir);
    }
    if (key != "name" && key != "ext") {
        return;
    }
    const bool byExtension = key == "ext";
    const auto compare = [byExtension](const DirEntry& a, const DirEntry& b) {
        return a.isDir ? compare_natural(a.path, b.path)
                       : compare_file_names(a.path, b.path, byExtension);
    };
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        for (std::size_t j = i + 1; j < sorted.size(); ++j) {
            const DirEntry& a = sorted[i];
            const DirEntry& b = sorted[j];
            if (a.isDir != b.isDir) {
                continue;
            }
            const int c = compare(a, b);
            FUZZ_CHECK(c <= 0);
            if (c == 0) {
                FUZZ_CHECK(placeOf[a.size] < placeOf[b.size]);
            }
        }
    }
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
    const Compare natural = [](std::string_view a, std::string_view b) {
        return compare_natural(a, b);
    };
    const Compare byBase = [](std::string_view a, std::string_view b) {
        return compare_file_names(a, b, false);
    };
    const Compare byExtension = [](std::string_view a, std::string_view b) {
        return compare_file_names(a, b, true);
    };
    check_pairs(names, natural, true);
    check_pairs(names, byBase, false);
    check_pairs(names, byExtension, false);
    check_transitive(names, natural);
    check_transitive(names, byBase);
    check_transitive(names, byExtension);
    check_groups(names);

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
    check_sort(list, key);
    // The same entries in other orders.
    check_sort(std::vector<DirEntry>(list.rbegin(), list.rend()), key);
    std::rotate(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(size % list.size()),
                list.end());
    for (std::size_t i = 1; i < list.size(); i += 3) {
        std::swap(list[i - 1], list[i]);
    }
    check_sort(list, key);
    return 0;
}

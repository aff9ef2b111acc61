// The natural comparison and every sort order of the entry list.
#include "cgi/entry_sort.h"
#include "cgi/ini_file.h"
#include "cgi/natural_compare.h"
#include "cgi/sort_memo.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(CompareNatural, NumbersInNames) {
    const struct {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"file2", "file10", -1},
        {"Photo (3)", "Photo (12)", -1},
        {"Photo (12)", "Photo (3)", 1},
        {"7", "10", -1},
        {"007", "07", -1}, // equal numbers, then byte order
        {"07", "7", -1},
        {"a001", "a01", -1},
        {"a01", "a1", -1},
        {"img2", "Img2", 1}, // equal numbers, "I" before "i" byte-wise
        {"a", "B", -1},      // the locale ignores case ...
        {"ABC", "abc", -1},  // ... and then the bytes decide
        {"abc", "abc", 0},
        {"file", "file2", -1}, // only one side has digits
        {"x (3)", "x 3", -1},  // "(" before a digit, as in the locale
        {"(3)", "(12)", -1},   // "(" alone is the text before the number
        {"a99999999999999999999999", "a99999999999999999999998", 1}, // saturated, then bytes
        // Digits of names of different groups compare by number too, where
        // comparing them as text gave the other result.
        {"a9", "a10x", -1},
        {"file10", "file1x", 1},
        {"file1x", "file2", -1},
        {"v2.1", "v10.1", -1},
        {"a3b", "a10b", -1},
        {"file05a", "file10", -1},
        {"a1y", "a01x", 1}, // leading zeros count only when all else is equal
        {"IMG_(2)", "IMG_(27", -1},
        {"IMG_0042 (2)", "IMG_0100", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compare_natural(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(compare_natural(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

// Mixed together (the names of a fuzz finding among them), the names form
// one order: each pair orders one way, zero only for equal texts, and no
// three names form a cycle (file2 < file10 < file1x < file2 did).
TEST(CompareNatural, MixedNamesFormOneOrder) {
    using namespace std::string_literals;
    const std::vector<std::string> names = {"file2",
                                            "file10",
                                            "File1"s + std::string(14, '\0') + "o (3)",
                                            "PThoto (12)",
                                            std::string(12, '\0') + ".Dt",
                                            "",
                                            "file1x",
                                            "file0x",
                                            "File3",
                                            "file",
                                            "x (3)",
                                            "x 3",
                                            "x (12)",
                                            "(3)",
                                            "3",
                                            "007",
                                            "7",
                                            "a3b",
                                            "a9",
                                            "a10x",
                                            "Photo (3)",
                                            "Photo 3)",
                                            "\x82\x60"
                                            "1",
                                            "\x82\x60"
                                            "10x"};
    const std::size_t n = names.size();
    std::vector<int> table(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const int ij = sign(compare_natural(names[i], names[j]));
            table[i * n + j] = ij;
            EXPECT_EQ(ij, -sign(compare_natural(names[j], names[i])))
                << names[i] << " / " << names[j];
            EXPECT_EQ(ij == 0, i == j) << names[i] << " / " << names[j];
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k) {
                if (table[i * n + j] < 0 && table[j * n + k] < 0) {
                    EXPECT_LT(table[i * n + k], 0) << names[i] << " / " << names[k];
                }
            }
        }
    }
}

// The orders found without keys (names of different scripts, numbered names
// of one group) are those of the keys.
TEST(CompareNatural, OrdersWithoutKeysAreTheOrdersOfTheKeys) {
    const std::vector<std::string> names = {"file1",
                                            "file10",
                                            "File2",
                                            "fa2",
                                            "\x83\x5c"
                                            "a1",
                                            "IMG_0042",
                                            "a",
                                            "zz~",
                                            "",
                                            "7",
                                            "(3)",
                                            "x (3)",
                                            "\x83\x5c"
                                            "1",
                                            "\x83\x5c"
                                            "2",
                                            "\x83\x5c"
                                            "01",
                                            "\x83\x5c"
                                            " (3)",
                                            "\x83\x5c",
                                            "\x83\x5c\x83\x5c",
                                            "\x93\xfa\x96\x7b",
                                            "\x93\xfa\x96\x7b"
                                            "12",
                                            "\x82\xa0"
                                            "3",
                                            "\x82\x60"
                                            "1",
                                            "a\x83\x5c",
                                            "\x81\x5b"};
    // A full-width letter has no lead class: comparing with it works out a
    // name's key first, and the comparisons after that go by the keys.
    const std::string probe = "\x82\x60";
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            SortKeyCache fresh;
            const NaturalKey quickA(a, &fresh), quickB(b, &fresh);
            const int quick = sign(compare_natural(quickA, quickB));
            SortKeyCache warm;
            const NaturalKey keyedA(a, &warm), keyedB(b, &warm), other(probe, &warm);
            compare_natural(keyedA, other);
            compare_natural(keyedB, other);
            EXPECT_EQ(quick, sign(compare_natural(keyedA, keyedB))) << a << " / " << b;
            EXPECT_EQ(quick, sign(compare_natural(a, b))) << a << " / " << b;
        }
    }
}

// Where the summaries decide, they decide as the keys do; names of one group
// are decided by number, and names of different groups by their heads.
TEST(CompareNatural, SummariesOrderAsTheKeys) {
    const std::vector<std::string> names = {
        "file1",
        "file10",
        "file010",
        "File2",
        "file (3)",
        "file(3)",
        "file(12",
        "file(2",
        "file",
        "file0x",
        "files1",
        "IMG_0042",
        "IMG_0042 (2)",
        "report_00001",
        "report_(1)",
        "7",
        "(3)",
        "",
        "zzzzzzzzzzzzz1",
        "zzzzzzzzzzzzz2",
        "zzzzzzzzzzzzzz1",
        "\x83\x5c"
        "1",
        "\x83\x5c"
        "2",
        "\x82\x60"
        "1",
        "~~~~~~~~~~~~1",
    };
    SortKeyCache cache;
    std::vector<NaturalKey> keys;
    keys.reserve(names.size());
    for (const std::string& name : names)
        keys.emplace_back(name, &cache);
    std::vector<NaturalHead> heads;
    for (const NaturalKey& key : keys)
        heads.push_back(key.summary());
    int decided = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t j = 0; j < names.size(); ++j) {
            const int byHeads = compare_heads(heads[i], heads[j]);
            const int byKeys = sign(compare_natural(keys[i], keys[j]));
            if (byHeads != 0) {
                ++decided;
                EXPECT_EQ(byHeads, byKeys) << names[i] << " / " << names[j];
            }
        }
    }
    if (platform::locale_key_lead("file1") == platform::KeyLead::unknown) {
        // A text layer that cannot class keys (the Windows one) leaves
        // every pair to the keys themselves.
        EXPECT_EQ(decided, 0);
        return;
    }
    // Shared groups and differing heads decide most pairs; names with no
    // cheap key (kana, full-width letters) decide none. "file(3)" and
    // "file(2" share a group in different forms.
    EXPECT_GT(decided, 300);
    EXPECT_EQ(compare_heads(heads[0], heads[1]), -1);  // file1 < file10, one group
    EXPECT_EQ(compare_heads(heads[21], heads[22]), 0); // kana: no cheap key
    EXPECT_FALSE(heads[23].known);
}

TEST(CompareNatural, FullWidthLettersCollateLikeTheirAsciiForms) {
    // "ＡＢＣ1" in Shift_JIS against "abc2": prefixes equal in the locale.
    EXPECT_LT(compare_natural("\x82\x60\x82\x61\x82\x62"
                              "1",
                              "abc2"),
              0);
}

TEST(CompareFileNames, ByBaseOrByExtension) {
    const struct {
        const char* a;
        const char* b;
        bool byExtension;
        int expected;
    } cases[] = {
        {"/d/v2.txt", "/d/v10.txt", false, -1},
        {"/d/a.txt", "/d/a.zip", false, -1},
        {"/d/b.ZIP", "/d/a.zip", false, 1},
        {"/d/b.jpg", "/d/a.png", true, -1},
        {"/d/a.TXT", "/d/a.txt", true, 0},
        // Base names with text after the digits.
        {"/d/file05a.txt", "/d/file10.txt", false, -1},
        {"/d/IMG_(2).jpg", "/d/IMG_(27.jpg", false, -1},
        {"/d/file1x.txt", "/d/file2.txt", false, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compare_file_names(c.a, c.b, c.byExtension)), c.expected)
            << c.a << " vs " << c.b;
        EXPECT_EQ(sign(compare_file_names(c.b, c.a, c.byExtension)), -c.expected)
            << c.b << " vs " << c.a;
    }
}

DirEntry folder(const std::string& name, std::int64_t t = 1000) {
    return DirEntry{"/srv/pub/" + name, true, TimeValue{t, 0}, 0};
}
DirEntry file(const std::string& name, std::uint64_t size = 0, std::int64_t t = 1000) {
    return DirEntry{"/srv/pub/" + name, false, TimeValue{t, 0}, size};
}

std::vector<std::string> sorted_names(std::vector<DirEntry> list, const char* key,
                                      const char* ini = "") {
    IniFile conf("", KeyOrder::no_case);
    conf.load_text(ini);
    sort_entries(list, key, conf);
    std::vector<std::string> names;
    for (const DirEntry& e : list)
        names.push_back(e.path.substr(9));
    return names;
}

using Names = std::vector<std::string>;

TEST(SortEntries, ByName) {
    const std::vector<DirEntry> mixed = {file("img12.png"), folder("a10"),    file("img2.png"),
                                         folder("a9"),      file("Img2.jpg"), folder("B")};
    const Names byName = {"a9", "a10", "B", "Img2.jpg", "img2.png", "img12.png"};
    EXPECT_EQ(sorted_names(mixed, ""), byName);
    EXPECT_EQ(sorted_names(mixed, "name"), byName);
    const Names reversed = {"B", "a10", "a9", "img12.png", "img2.png", "Img2.jpg"};
    EXPECT_EQ(sorted_names(mixed, "r"), reversed);
    EXPECT_EQ(sorted_names(mixed, "rname"), reversed);

    // Tied base names order by extension without regard to case; extensions
    // that differ only in case are equal and stay in the scan order.
    std::vector<DirEntry> tied = {file("a.txt"), file("b"),     file("a.DOC"),
                                  file("a.TXT"), file("a.bmp"), file("a")};
    EXPECT_EQ(sorted_names(tied, "name"), Names({"a", "a.bmp", "a.DOC", "a.txt", "a.TXT", "b"}));
    EXPECT_EQ(sorted_names(tied, "r"), Names({"b", "a.txt", "a.TXT", "a.DOC", "a.bmp", "a"}));
    std::reverse(tied.begin(), tied.end());
    EXPECT_EQ(sorted_names(tied, "name"), Names({"a", "a.bmp", "a.DOC", "a.TXT", "a.txt", "b"}));
    EXPECT_EQ(sorted_names(tied, "r"), Names({"b", "a.TXT", "a.txt", "a.DOC", "a.bmp", "a"}));

    // Digits after other text, or followed by text, compare by number too;
    // the result does not depend on the scan order.
    std::vector<DirEntry> mixedForms = {
        file("file10.txt"),  file("file05a.txt"), file("IMG_(27.jpg"),
        file("IMG_(2).jpg"), file("a10x"),        file("a9"),
        file("IMG_(3).jpg"), file("file2.txt"),   file("file1x.txt")};
    const Names mixedByName = {"a9",          "a10x",        "file1x.txt",
                               "file2.txt",   "file05a.txt", "file10.txt",
                               "IMG_(2).jpg", "IMG_(3).jpg", "IMG_(27.jpg"};
    for (std::size_t i = 0; i < mixedForms.size(); ++i) {
        std::rotate(mixedForms.begin(), mixedForms.begin() + 1, mixedForms.end());
        std::swap(mixedForms[0], mixedForms[i]);
        EXPECT_EQ(sorted_names(mixedForms, "name"), mixedByName);
    }
}

// A group of numbered names is in number order whatever else lies in the
// folder; the pairwise steps once listed part1a among them, IMG_2.jpg on
// row 508, and file1x between file10 and file2.
TEST(SortEntries, NumberedGroupsStayInNumberOrder) {
    std::vector<DirEntry> parts = {file("part1a.txt")};
    for (int i = 12; i >= 1; --i)
        parts.push_back(file("part" + std::to_string(i) + ".txt"));
    EXPECT_EQ(sorted_names(parts, "name"),
              Names({"part1.txt", "part1a.txt", "part2.txt", "part3.txt", "part4.txt", "part5.txt",
                     "part6.txt", "part7.txt", "part8.txt", "part9.txt", "part10.txt", "part11.txt",
                     "part12.txt"}));

    std::vector<DirEntry> images;
    for (int i = 0; i < 2000; ++i)
        images.push_back(file("IMG_" + std::to_string(i) + ".jpg"));
    images.push_back(file("IMG_1x.jpg"));
    std::rotate(images.begin(), images.begin() + 777, images.end());
    const Names imageNames = sorted_names(images, "name");
    ASSERT_EQ(imageNames.size(), 2001u);
    EXPECT_EQ(imageNames[2], "IMG_1x.jpg");
    EXPECT_EQ(imageNames[3], "IMG_2.jpg");
    for (std::size_t row = 3; row < imageNames.size(); ++row)
        ASSERT_EQ(imageNames[row], "IMG_" + std::to_string(row - 1) + ".jpg");

    const Names files = {"file1", "file1x", "file2", "file10"};
    EXPECT_EQ(sorted_names({file("file1"), file("file10"), file("file1x"), file("file2")}, "name"),
              files);
    EXPECT_EQ(sorted_names({folder("file2"), folder("file1x"), folder("file10"), folder("file1")},
                           "name"),
              files);
}

TEST(SortEntries, BySizeAndTime) {
    const std::vector<DirEntry> list = {file("b.txt", 10, 5), folder("z", 1), file("a.txt", 10, 7),
                                        folder("y", 2), file("c.txt", 99, 6)};
    EXPECT_EQ(sorted_names(list, "size"), Names({"y", "z", "a.txt", "b.txt", "c.txt"}));
    // Largest first, equal sizes and the folders stay ascending by name.
    EXPECT_EQ(sorted_names(list, "rsize"), Names({"y", "z", "c.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(sorted_names(list, "time"), Names({"z", "y", "b.txt", "c.txt", "a.txt"}));
    EXPECT_EQ(sorted_names(list, "rtime"), Names({"y", "z", "a.txt", "c.txt", "b.txt"}));

    const std::vector<DirEntry> sameTime = {file("b.txt", 0, 5), file("a.txt", 0, 5),
                                            folder("d2", 5), folder("d1", 5)};
    EXPECT_EQ(sorted_names(sameTime, "rtime"), Names({"d1", "d2", "a.txt", "b.txt"}));
}

TEST(SortEntries, ByExtensionAndType) {
    const std::vector<DirEntry> list = {file("b.png"), file("a.jpg"), file("c.txt"), file("a.TXT"),
                                        folder("f")};
    EXPECT_EQ(sorted_names(list, "ext"), Names({"f", "a.jpg", "b.png", "a.TXT", "c.txt"}));
    EXPECT_EQ(sorted_names(list, "rext"), Names({"f", "a.TXT", "c.txt", "b.png", "a.jpg"}));
    EXPECT_EQ(sorted_names(list, "type", "[type]\n.jpg=image\n.PNG=image\n"),
              Names({"f", "a.jpg", "b.png", "a.TXT", "c.txt"}));
    EXPECT_EQ(sorted_names(list, "type", "[type]\n.txt=Alpha\n.png=beta\n"),
              Names({"f", "a.TXT", "c.txt", "b.png", "a.jpg"}));
}

TEST(SortEntries, UnknownKeysSortByBytes) {
    const std::vector<DirEntry> list = {file("b"), file("B"), folder("x"), file("a10"), file("a9")};
    EXPECT_EQ(sorted_names(list, "Name"), Names({"x", "B", "a10", "a9", "b"}));
    EXPECT_EQ(sorted_names(list, "rtype"), Names({"x", "b", "a9", "a10", "B"}));
}

TEST(SortEntries, EqualEntriesKeepTheScanOrder) {
    // Same type and base name: equal under "type", so they stay in the
    // order of the directory search.
    const char* types = "[type]\n.jpg=image\n.png=image\n";
    EXPECT_EQ(sorted_names({file("a.png"), file("a.jpg")}, "type", types),
              Names({"a.png", "a.jpg"}));
    EXPECT_EQ(sorted_names({file("a.jpg"), file("a.png")}, "type", types),
              Names({"a.jpg", "a.png"}));
    // Equal sizes under "rsize" fall to the base names; equal base names and
    // extensions that differ in case only keep the scan order.
    EXPECT_EQ(sorted_names({file("b.TXT", 5), file("b.txt", 5), file("a", 5)}, "rsize"),
              Names({"a", "b.TXT", "b.txt"}));
}

TEST(SortEntries, LargeFolderIsOrderedByNumber) {
    std::vector<DirEntry> list;
    for (int i = 5000; i > 0; --i)
        list.push_back(file("file" + std::to_string(i) + ".txt"));
    const Names names = sorted_names(list, "");
    ASSERT_EQ(names.size(), 5000u);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(names[i], "file" + std::to_string(i + 1) + ".txt");
}

TEST(SortMemo, FindsOnlyTheListItWasGiven) {
    const auto utf8 = platform::Charset::utf8;
    const std::vector<DirEntry> list = {file("b.txt", 1, 5), folder("d"), file("a.txt", 2, 6)};
    SortMemo memo(8);
    memo.remember(list, "name", utf8, {1, 2, 0});
    const std::vector<std::size_t>* order = memo.find(list, "name", utf8);
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(*order, std::vector<std::size_t>({1, 2, 0}));

    // Any change of an entry, the key or the character set is another list.
    const std::vector<std::function<void(std::vector<DirEntry>&)>> changes = {
        [](auto& l) { l[0].path += "x"; },
        [](auto& l) { l[1].isDir = false; },
        [](auto& l) { l[2].size = 3; },
        [](auto& l) { l[2].time.seconds = 7; },
        [](auto& l) { l[2].time.microseconds = 1; },
        [](auto& l) { l.push_back(file("c")); },
        [](auto& l) { std::swap(l[0], l[2]); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        std::vector<DirEntry> changed = list;
        changes[i](changed);
        EXPECT_EQ(memo.find(changed, "name", utf8), nullptr) << "change " << i;
    }
    EXPECT_EQ(memo.find(list, "time", utf8), nullptr);
    EXPECT_EQ(memo.find(list, "name", platform::Charset::shift_jis), nullptr);

    // Past the bound the list used least recently goes first.
    const std::vector<DirEntry> other = {file("x"), file("y"), file("z")};
    memo.remember(other, "name", utf8, {2, 1, 0});
    ASSERT_NE(memo.find(list, "name", utf8), nullptr);
    memo.remember(other, "size", utf8, {0, 1, 2});
    EXPECT_EQ(memo.entries(), 6u);
    EXPECT_NE(memo.find(list, "name", utf8), nullptr);
    EXPECT_EQ(memo.find(other, "name", utf8), nullptr);
    EXPECT_NE(memo.find(other, "size", utf8), nullptr);
    EXPECT_FALSE(memo.takes(9));
}

TEST(SortEntries, RememberedOrdersAreTheOrdersOfAFreshSort) {
    // One folder listed request after request, changing between some of
    // them: each order equals the order of a sort that remembers nothing.
    std::vector<std::pair<std::vector<DirEntry>, const char*>> requests;
    std::vector<DirEntry> list = {file("b.txt", 1, 3), folder("d2", 9), file("a.txt", 2, 2),
                                  folder("d1", 8), file("c.txt", 3, 1)};
    const auto request = [&](const char* key) { requests.emplace_back(list, key); };
    request("name");
    request("name");
    request("time");
    list[2].time.seconds = 5;
    request("time");
    list[0].size = 9;
    request("rsize");
    request("rsize");
    list[4].path = "/srv/pub/0.txt";
    request("name");
    list[1].isDir = false;
    request("name");
    request("type");
    std::vector<Names> fresh;
    keep_sort_orders(0);
    for (const auto& [entries, key] : requests)
        fresh.push_back(sorted_names(entries, key, "[type]\n.txt=text\n"));
    keep_sort_orders(100);
    for (std::size_t i = 0; i < requests.size(); ++i)
        EXPECT_EQ(sorted_names(requests[i].first, requests[i].second, "[type]\n.txt=text\n"),
                  fresh[i])
            << "request " << i;
    keep_sort_orders(0);
}

} // namespace

// The sort orders of the entry list, chosen by the display key "sort".
#pragma once

#include "cgi/dir_entry.h"

#include <cstddef>
#include <string_view>
#include <vector>

class IniFile;

// sort_entries sorts `list` by `key` ("name", "ext", "type", "size", "time",
// their reversed forms "r", "rname", "rext", "rsize", "rtime", byte order
// for any other key); folders always come before files. The type order reads
// section "type" of `conf`. The sort is stable: entries that compare equal
// stay in the order of `list`, the order of the directory search.
void sort_entries(std::vector<DirEntry>& list, std::string_view key, const IniFile& conf);

// keep_sort_orders makes sort_entries remember the orders it finds, for a
// process that lists the same folders request after request (a FastCGI
// child): a list equal to one sorted before, entry by entry, under the same
// key and character set, goes into that order again without its sort keys
// being worked out. At most `entries` entries are remembered. Orders by
// "type" read the settings and are never remembered.
void keep_sort_orders(std::size_t entries = 20000);

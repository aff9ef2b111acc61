// SortMemo: the orders of the last lists sorted, for a process that lists
// the same folders request after request (a FastCGI child). A list equal to
// one sorted before, entry by entry (path, kind, time and size, in the same
// order), under the same sort key and character set, goes into the order
// found then without a sort key being worked out.
#pragma once

#include "cgi/dir_entry.h"
#include "platform/text.h"

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <vector>

class SortMemo {
  public:
    // At most `entryLimit` entries are remembered in all, the list used
    // least recently dropped first; a longer list is never remembered.
    explicit SortMemo(std::size_t entryLimit);

    // takes tells whether a list of `size` entries would be remembered.
    bool takes(std::size_t size) const { return size <= m_entryLimit; }

    // find returns the order remembered for `list` sorted by `key` under
    // `charset` (order[i]: the index in `list` of the entry that goes to
    // place i), or nullptr.
    const std::vector<std::size_t>* find(const std::vector<DirEntry>& list, std::string_view key,
                                         platform::Charset charset);

    // remember keeps `order` for the unsorted `list`.
    void remember(std::vector<DirEntry> list, std::string_view key, platform::Charset charset,
                  std::vector<std::size_t> order);

    std::size_t entries() const { return m_entries; }

  private:
    struct Sorted {
        std::string key;
        platform::Charset charset = platform::Charset::shift_jis;
        std::vector<DirEntry> list;
        std::vector<std::size_t> order;
    };

    std::size_t m_entryLimit;
    std::size_t m_entries = 0;
    std::list<Sorted> m_sorted; // the most recently used first
};

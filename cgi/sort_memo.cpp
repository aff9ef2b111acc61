// The orders of the last lists sorted.
#include "cgi/sort_memo.h"

#include <utility>

namespace {

// At most this many lists are kept. A look-up compares each one of the
// same length entry by entry, up to the first difference.
constexpr std::size_t kListLimit = 16;

bool same_entry(const DirEntry& a, const DirEntry& b) {
    return a.isDir == b.isDir && a.size == b.size && a.time.seconds == b.time.seconds &&
           a.time.microseconds == b.time.microseconds && a.path == b.path;
}

} // namespace

SortMemo::SortMemo(std::size_t entryLimit) : m_entryLimit(entryLimit) {}

const std::vector<std::size_t>* SortMemo::find(const std::vector<DirEntry>& list,
                                               std::string_view key, platform::Charset charset) {
    if (!takes(list.size()))
        return nullptr;
    for (auto it = m_sorted.begin(); it != m_sorted.end(); ++it) {
        if (it->list.size() != list.size() || it->charset != charset || it->key != key)
            continue;
        bool same = true;
        for (std::size_t i = 0; same && i < list.size(); ++i)
            same = same_entry(it->list[i], list[i]);
        if (!same)
            continue;
        m_sorted.splice(m_sorted.begin(), m_sorted, it);
        return &m_sorted.front().order;
    }
    return nullptr;
}

void SortMemo::remember(std::vector<DirEntry> list, std::string_view key, platform::Charset charset,
                        std::vector<std::size_t> order) {
    if (!takes(list.size()) || order.size() != list.size())
        return;
    while (!m_sorted.empty() &&
           (m_sorted.size() >= kListLimit || m_entries + list.size() > m_entryLimit)) {
        m_entries -= m_sorted.back().list.size();
        m_sorted.pop_back();
    }
    Sorted sorted;
    sorted.key.assign(key);
    sorted.charset = charset;
    sorted.list = std::move(list);
    sorted.order = std::move(order);
    m_entries += sorted.list.size();
    m_sorted.push_front(std::move(sorted));
}

// Row templates of the listings.
//
// The replacements can be located in the template itself: the date and size
// cells hold no "%" and start with a digit, a blank or "*", so inserting them
// never creates or breaks a placeholder; the name cell, which carries names
// from the file system, goes in last and is never searched.
#include "cgi/row_template.h"

#include <algorithm>
#include <cstring>

RowTemplate::RowTemplate(std::string_view text) : m_text(text) {
    constexpr std::string_view kPlaceholders[] = {"%d", "%s", "%n"};
    for (int cell = 0; cell < 3; ++cell) {
        const std::size_t pos = m_text.find(kPlaceholders[cell]);
        if (pos != std::string::npos)
            m_slots[m_slotCount++] = Slot{pos, cell};
    }
    std::sort(m_slots.begin(), m_slots.begin() + static_cast<std::ptrdiff_t>(m_slotCount),
              [](const Slot& a, const Slot& b) { return a.pos < b.pos; });
}

void RowTemplate::append(std::string& out, std::string_view date, std::string_view size,
                         std::string_view nameCell) const {
    const std::string_view cells[] = {date, size, nameCell};
    // The row's length is known up front: one resize, then the pieces.
    std::size_t length = m_text.size() - 2 * m_slotCount;
    for (std::size_t i = 0; i < m_slotCount; ++i)
        length += cells[m_slots[i].cell].size();
    const std::size_t start = out.size();
    out.resize(start + length);
    char* p = out.data() + start;
    auto put = [&p](const char* bytes, std::size_t n) {
        if (n != 0)
            std::memcpy(p, bytes, n);
        p += n;
    };
    std::size_t from = 0;
    for (std::size_t i = 0; i < m_slotCount; ++i) {
        put(m_text.data() + from, m_slots[i].pos - from);
        const std::string_view cell = cells[m_slots[i].cell];
        put(cell.data(), cell.size());
        from = m_slots[i].pos + 2;
    }
    put(m_text.data() + from, m_text.size() - from);
}

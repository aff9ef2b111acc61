// Row templates of the listings.
//
// The replacements can be located in the template itself: the date and size
// cells hold no "%" and start with a digit, a blank or "*", so inserting them
// never creates or breaks a placeholder; the name cell, which carries names
// from the file system, goes in last and is never searched.
#include "cgi/row_template.h"

#include <algorithm>

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
    std::size_t from = 0;
    for (std::size_t i = 0; i < m_slotCount; ++i) {
        out.append(m_text, from, m_slots[i].pos - from);
        out += cells[m_slots[i].cell];
        from = m_slots[i].pos + 2;
    }
    out.append(m_text, from, std::string::npos);
}

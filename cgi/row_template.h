// RowTemplate: a listing's row template with its placeholders "%d" (date
// cell), "%s" (size cell) and "%n" (name cell), located once per page.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

class RowTemplate {
  public:
    explicit RowTemplate(std::string_view text);

    // append writes the row to `out`: the template with its first "%d", "%s"
    // and "%n" replaced by the date, size and name cells. The placeholders
    // are located in the template, so no cell is searched and a "%" in any
    // cell is copied as it is. For date and size cells that are not empty,
    // hold no "%" and do not begin with "s" or "n" (the only ones the
    // listings make: they begin with a digit, a blank or "*") this is the row
    // that replacing "%d", "%s", "%n" one after another gives. A missing
    // placeholder is skipped; a second occurrence stays as written.
    void append(std::string& out, std::string_view date, std::string_view size,
                std::string_view nameCell) const;

    std::size_t size() const { return m_text.size(); }
    const std::string& text() const { return m_text; }

  private:
    struct Slot {
        std::size_t pos; // position in the template
        int cell;        // 0 date, 1 size, 2 name
    };

    std::string m_text;
    std::array<Slot, 3> m_slots{};
    std::size_t m_slotCount = 0;
};

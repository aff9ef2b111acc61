// The fields a style's templates may hold for the visitor's options: sort
// links for column heads, and the filter text, order and entry count for a
// search form. Templates without them are written as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// ListingState is what the fields show of one listing.
struct ListingState {
    bool visitorOptions = false; // the style's "visitor" switch
    char column = 0;             // the column of the order shown, 0 for none
    bool descending = false;
    std::string_view query; // the name filter, as the request gave it
    std::size_t count = 0;  // entries listed
};

// expand_option_fields replaces in `text`:
//   %{sort:C:Label}  a link that sorts by column C (N, M, S, E, T): ascending,
//                    or descending when C is the column shown ascending; it
//                    keeps the filter, carries rel="nofollow", and on the
//                    column shown an arrow with a text alternative. Without
//                    the switch, the label alone.
//   %{aria:C}        ' aria-sort="ascending"' (or "descending") on the column
//                    shown, else nothing: for the column head's own tag.
//   %{q}             the filter text, escaped for an attribute value.
//   %{order}         hidden form fields that keep the order shown.
//   %{count}         the number of entries listed.
// Label text is written as the template gives it. Other text, and a field
// that is not one of these, stays as it is.
std::string expand_option_fields(std::string_view text, const ListingState& state);

// Placeholders of log path templates: "%Y" and its kin write the open time,
// the log's stamp, the process id and the open counter; "%@", "%#", "%$" and
// "%&" a special folder and "%*" the numbered folder at the start; "%?" a
// separator; any other "%c" the character c.
#pragma once

#include "runtime/log_path.h"

#include <cstddef>
#include <string>
#include <string_view>

// vv_expanded_limit is the most characters an expanded template holds.
inline constexpr std::size_t vv_expanded_limit = 259;

// vv_expand_placeholders appends `text` with its placeholders replaced to
// `out`, at most vv_expanded_limit characters; false when a placeholder or a
// double-byte character finds no room. The numbered folder is looked up
// through `services`, which keep it in state.numberedDirectory.
bool vv_expand_placeholders(std::string_view text, const vvLogPathInput& input,
                            const vvLogPathServices& services, vvLogPathState& state,
                            std::string& out);

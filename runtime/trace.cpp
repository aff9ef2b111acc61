// Function trace and value dumps.
#include "runtime/trace.h"

#include "platform/text.h"
#include "runtime/log.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr int kMaxIndent = 128;
constexpr char kIndentChar = '.';

thread_local int t_depth = 0;

bool trace_vprint(std::string_view head, const char* format, va_list args) {
    return vv_trace_vprint(head, format, args);
}

bool trace_print(std::string_view head, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool ok = trace_vprint(head, format, args);
    va_end(args);
    return ok;
}

// The escape table of the bytes below 0x80.
const std::array<std::string, 128>& escape_table() {
    static const std::array<std::string, 128> table = [] {
        static constexpr char kHex[] = "0123456789abcdef";
        std::array<std::string, 128> t;
        for (int c = 0; c < 128; ++c) {
            if (c == '\t')
                t[c] = "\\t";
            else if (c == '\n')
                t[c] = "\\n";
            else if (c == '\r')
                t[c] = "\\r";
            else if (c < 0x20 || c == 0x7F)
                t[c] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            else if (c == '"')
                t[c] = "\\\"";
            else if (c == '\\')
                t[c] = "\\\\";
            else if (c == ',')
                t[c] = ", ";
            else
                t[c] = std::string(1, static_cast<char>(c));
        }
        return t;
    }();
    return table;
}

std::string label_text(std::string_view label) {
    return std::string(label);
}

} // namespace

vvTraceScope::vvTraceScope(std::string_view name, bool quiet)
    : m_name(name), m_depth(t_depth++), m_quiet(quiet) {
    if (!m_quiet && vv_tracing())
        print(">>> Enter.");
}

vvTraceScope::~vvTraceScope() {
    if (!m_quiet && vv_tracing())
        print("%s", "<<< Exit.");
    --t_depth;
}

const std::string& vvTraceScope::head() const {
    if (!m_haveHead) {
        if (!m_name.empty()) {
            const int indent = m_depth < 0 || m_depth > kMaxIndent ? kMaxIndent : m_depth;
            m_head.assign(static_cast<std::size_t>(indent), kIndentChar);
            // The head becomes part of lines written through formats: a "%"
            // of the name is written as "#".
            for (const char c : m_name)
                m_head += c == '%' ? '#' : c;
            m_head += ": ";
        }
        m_haveHead = true;
    }
    return m_head;
}

bool vvTraceScope::print(const char* format, ...) const {
    if (!vv_tracing())
        return false;
    va_list args;
    va_start(args, format);
    const bool ok = trace_vprint(head(), format, args);
    va_end(args);
    return ok;
}

std::string vvTraceScope::label(std::string_view text) const {
    std::string l = head();
    l += text;
    return l;
}

bool vv_trace_active() {
    return vv_trace_on();
}

bool vv_trace_plain(const char* format, ...) {
    if (!vv_tracing())
        return false;
    va_list args;
    va_start(args, format);
    const bool ok = trace_vprint("", format, args);
    va_end(args);
    return ok;
}

void vv_dump_signed(std::string_view label, long value) {
    trace_print("", "%s = %ld", label_text(label).c_str(), value);
}

void vv_dump_unsigned(std::string_view label, unsigned long value) {
    trace_print("", "%s = %lu", label_text(label).c_str(), value);
}

void vv_dump_text(std::string_view label, std::string_view text) {
    trace_print("", "%s = \"%s\"", label_text(label).c_str(), vv_trace_escape(text).c_str());
}

void vv_dump_pointer(std::string_view label, const char* text) {
    if (text == nullptr) {
        trace_print("", "%s = NULL", label_text(label).c_str());
        return;
    }
    trace_print("", "%s = 0x%0*llX \"%s\"", label_text(label).c_str(),
                static_cast<int>(sizeof(void*) * 2),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(text)),
                vv_trace_escape(text).c_str());
}

void vv_dump_flag(std::string_view label, bool value) {
    vv_dump_form(label, value ? "true" : "false");
}

void vv_dump_form(std::string_view label, std::string_view form) {
    trace_print("", "%s = %s", label_text(label).c_str(), std::string(form).c_str());
}

std::string vv_trace_escape(std::string_view text) {
    const auto& table = escape_table();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // Both bytes of a double-byte character stay, even a trail byte that
        // looks like a backslash.
        const std::size_t n = platform::char_length(text, i);
        const auto c = static_cast<unsigned char>(text[i]);
        if (n == 2 || c >= 0x80)
            out.append(text.substr(i, n));
        else
            out += table[c];
        i += n;
    }
    return out;
}

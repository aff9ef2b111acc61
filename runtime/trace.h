// Function trace: every operation of weight opens a trace scope named after
// itself, which writes an entry and an exit line indented by the nesting
// depth of its thread, and dumps its arguments and notable values as
// "label = value" lines. All of it goes to the current log at level 6 and
// costs next to nothing while that log has no open file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class vvTraceScope {
  public:
    // Opens a scope; unless `quiet`, writes ">>> Enter.". `name` must outlive
    // the scope (a literal, normally).
    explicit vvTraceScope(std::string_view name, bool quiet = false);
    // Closes it; unless quiet, writes "<<< Exit." with the same indent.
    ~vvTraceScope();

    vvTraceScope(const vvTraceScope&) = delete;
    vvTraceScope& operator=(const vvTraceScope&) = delete;

    // print writes one line behind the scope's line head.
    bool print(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // label returns the line head followed by `text`, for the value dumps.
    std::string label(std::string_view text) const;
    // head: the indent, the name and ": " ("" for an empty name).
    const std::string& head() const;

  private:
    std::string_view m_name;
    int m_depth; // this thread's depth when the scope opened
    bool m_quiet;
    mutable std::string m_head;
    mutable bool m_haveHead = false;
};

// vv_tracing tells whether the trace is on: callers test it before they
// build a dump, so that no dump text is computed while the log is closed.
// A request is seldom traced: the compiler moves the dumps out of the way
// of the code that runs.
bool vv_trace_active();
inline bool vv_tracing() {
    return __builtin_expect(vv_trace_active(), 0);
}

// vv_trace_plain writes one line without a head.
bool vv_trace_plain(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Value dumps: one line each, "label = value".
void vv_dump_signed(std::string_view label, long value);            // "%s = %d"
void vv_dump_unsigned(std::string_view label, unsigned long value); // "%s = %lu"
void vv_dump_text(std::string_view label, std::string_view text);   // "%s = \"%s\""
void vv_dump_pointer(std::string_view label, const char* text);     // "%s = 0x%p \"%s\"" or NULL
void vv_dump_flag(std::string_view label, bool value);              // "%s = true"
// vv_dump_form writes a value already in its text form (a settings store or
// a name set): "%s = %s".
void vv_dump_form(std::string_view label, std::string_view form);

// vv_trace_escape escapes a text for a dump: control bytes as "\xNN" (tab,
// line feed and carriage return as "\t", "\n", "\r"), the quote and the
// backslash with a backslash, a comma followed by a blank; letters, digits
// and bytes from 0x80 (both bytes of double-byte characters) unchanged.
std::string vv_trace_escape(std::string_view text);

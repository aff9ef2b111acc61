// Process services: the environment block.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// environment_block returns the process environment as one text: its
// "NAME=value" entries in the order the system keeps them, each followed by
// a NUL byte. One copy, so that a request's snapshot costs one allocation.
std::string environment_block();

// current_process_id returns the id of this process.
std::uint32_t current_process_id();

// current_thread_id returns the system's id of the calling thread.
std::uint32_t current_thread_id();

// keep_running_on_failed_writes makes a write to a pipe whose reader has gone
// (the web server hung up) or beyond the file size limit fail with an error
// instead of ending the process.
void keep_running_on_failed_writes();

// keep_freed_memory makes memory that the process frees stay with it for its
// later allocations, large blocks among them, instead of going back to the
// system at once: a short-lived process that builds and drops large buffers
// then takes fresh pages (each zeroed by the system) for its peak only.
void keep_freed_memory();

// exit_process_now ends the process at once with `code`: no exit handlers,
// no static destructors, no flushing of streams.
[[noreturn]] void exit_process_now(int code);

// end_process_after arms a one-shot timer that ends the process with `code`
// (as exit_process_now does) once `ms` milliseconds have passed, whatever
// its threads are doing at that moment; a later call replaces the earlier
// time and code. It needs no thread of its own. Returns false when the
// platform has no such timer: then nothing is armed, and the caller has to
// watch the time itself.
bool end_process_after(std::uint32_t ms, int code);

// cancel_process_end disarms the timer of end_process_after.
void cancel_process_end();

} // namespace platform

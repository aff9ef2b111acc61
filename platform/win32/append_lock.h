// AppendLock serialises appends to one file across processes. Windows
// appends through a FILE_APPEND_DATA handle in one step, but Wine emulates
// it by a size query and a write, so two processes could write at the same
// offset; a lock on one byte far beyond any file's end makes the pair one
// step everywhere. (Byte-range locks do not hinder reading.)
#pragma once

#include <windows.h>

namespace platform::win32 {

class AppendLock {
  public:
    explicit AppendLock(HANDLE handle) : m_handle(handle) {
        m_at.Offset = 0xFFFFFFFFu;
        m_at.OffsetHigh = 0x7FFFFFFFu;
        m_locked = LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &m_at) != FALSE;
    }
    ~AppendLock() {
        if (m_locked) {
            UnlockFileEx(m_handle, 0, 1, 0, &m_at);
        }
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;

  private:
    HANDLE m_handle;
    OVERLAPPED m_at{};
    bool m_locked = false;
};

} // namespace platform::win32

// POSIX only: the entries of a large folder read in batches, on several
// threads at once. Reading an entry is a wait on the kernel's name lookup
// (about 1.6 us a name in a folder of 100 000), which a second core halves.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// EntryBatch holds entries that a search has listed but not read yet.
class EntryBatch {
  public:
    // Taken is one entry of the batch once it is read: its name, its type
    // as the folder gave it (DT_*), whether the search wants it, and the
    // result of read_entry (0 or the error number) with what it read.
    using Taken = std::function<void(std::string_view name, unsigned char type, bool wanted,
                                     int error, const struct stat& st)>;

    // add appends an entry; full tells when the batch should be read.
    void add(std::string_view name, unsigned char type, bool wanted);
    bool full() const { return m_entries.size() >= kCapacity; }

    // read reads every entry in the folder open as `folder`, hands each to
    // `take` in the order they were added, on the calling thread, and
    // empties the batch.
    void read(int folder, const Taken& take);

  private:
    static constexpr std::size_t kCapacity = 4096;
    struct Readers;
    static void* read_shares(void* readers);

    struct Entry {
        std::size_t nameAt = 0;
        std::size_t nameLength = 0;
        unsigned char type = 0;
        bool wanted = false;
        int error = 0;
        struct stat st {};
    };
    std::string m_names;
    std::vector<Entry> m_entries;
};

} // namespace platform

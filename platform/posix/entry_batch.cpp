// POSIX only: the entries of a large folder read on several threads.
#include "platform/posix/entry_batch.h"

#include "platform/posix/entry_stat.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <csignal>

namespace platform {

namespace {

// At most this many threads read one batch, the calling one among them.
constexpr unsigned kMaxReaders = 4;
// A reader takes this many entries at a time.
constexpr std::size_t kShare = 64;

// reader_count returns how many threads may read a batch: the processors
// this process may run on, within kMaxReaders.
unsigned reader_count() {
    static const unsigned count = [] {
        cpu_set_t set;
        if (sched_getaffinity(0, sizeof set, &set) != 0)
            return 1u;
        return std::clamp(static_cast<unsigned>(CPU_COUNT(&set)), 1u, kMaxReaders);
    }();
    return count;
}

} // namespace

void EntryBatch::add(std::string_view name, unsigned char type, bool wanted) {
    Entry& entry = m_entries.emplace_back();
    entry.nameAt = m_names.size();
    entry.nameLength = name.size();
    entry.type = type;
    entry.wanted = wanted;
    m_names.append(name);
    m_names.push_back('\0');
}

// Readers is the work of one batch: the folder, the entries, and the first
// of those no reader has taken yet.
struct EntryBatch::Readers {
    int folder = -1;
    const std::string* names = nullptr;
    std::vector<Entry>* entries = nullptr;
    std::atomic<std::size_t> next{0};
};

// read_shares reads shares of the batch until none is left.
void* EntryBatch::read_shares(void* readers) {
    auto& work = *static_cast<Readers*>(readers);
    std::vector<Entry>& entries = *work.entries;
    for (;;) {
        const std::size_t first = work.next.fetch_add(kShare, std::memory_order_relaxed);
        if (first >= entries.size())
            return nullptr;
        const std::size_t end = std::min(first + kShare, entries.size());
        for (std::size_t i = first; i < end; ++i) {
            Entry& e = entries[i];
            e.error = read_entry(work.folder, work.names->c_str() + e.nameAt, e.st);
        }
    }
}

void EntryBatch::read(int folder, const Taken& take) {
    Readers work;
    work.folder = folder;
    work.names = &m_names;
    work.entries = &m_entries;
    // The readers take no signal: the request's time-out is the calling
    // thread's. A reader that cannot be started leaves its share to the
    // others.
    pthread_t readers[kMaxReaders];
    unsigned started = 0;
    const unsigned wanted = m_entries.size() > kShare ? reader_count() - 1 : 0;
    if (wanted > 0) {
        sigset_t all;
        sigset_t before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        while (started < wanted &&
               pthread_create(&readers[started], nullptr, read_shares, &work) == 0)
            ++started;
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    read_shares(&work);
    for (unsigned i = 0; i < started; ++i)
        pthread_join(readers[i], nullptr);

    for (const Entry& e : m_entries)
        take(std::string_view(m_names.data() + e.nameAt, e.nameLength), e.type, e.wanted, e.error,
             e.st);
    m_entries.clear();
    m_names.clear();
}

} // namespace platform

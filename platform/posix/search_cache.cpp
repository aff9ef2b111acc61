// POSIX only (Linux inotify, statfs, /proc/self/fd): kept folder searches.
#include "platform/posix/search_cache.h"

#include "platform/posix/entry_stat.h"

#include <dirent.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <string>

namespace platform {

namespace {

// What a folder's watch reports: anything that changes its list of names or
// the records of its entries, and the folder itself going or moving.
constexpr std::uint32_t kWatchMask = IN_ATTRIB | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                                     IN_MODIFY | IN_MOVE_SELF | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_ONLYDIR;

// A bound on the folders kept, whatever their sizes: each holds a watch, and
// the watches of a user (8192 on older systems) are shared by every child
// and every other program of the server's user.
constexpr std::size_t kMaxFolders = 128;

// A folder of over a megabyte, and of more than 64 bytes for each record
// kept, is taken for one of more entries than are kept (ext4 gives an
// entry 12 bytes or more, tmpfs 20, btrfs twice its name's length).
constexpr std::uint64_t kBytesPerEntry = 64;
constexpr std::uint64_t kLargeFolderBytes = 1024 * 1024;

// notices_are_complete tells whether every change of the folder open as
// `folder` is noticed: local file systems only, where no other machine or
// user-space server writes behind the kernel's back.
bool notices_are_complete(int folder) {
    struct statfs fs;
    if (fstatfs(folder, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

// same_type tells whether `mode` is of the type the folder gave its entry;
// a link's or an unknown entry's read may be of any type.
bool same_type(unsigned char type, mode_t mode) {
    return type == DT_LNK || type == DT_UNKNOWN ||
           static_cast<mode_t>(DTTOIF(type)) == (mode & S_IFMT);
}

} // namespace

std::unique_ptr<SearchCache> SearchCache::open(const SearchKeeping& keeping) {
    const int notices = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notices < 0)
        return nullptr;
    return std::unique_ptr<SearchCache>(new SearchCache(notices, keeping));
}

SearchCache::SearchCache(int notices, const SearchKeeping& keeping)
    : m_notices(notices), m_keeping(keeping) {}

SearchCache::~SearchCache() {
    close(m_notices);
}

bool SearchCache::answer(int folder, const NameMatch& match, const Visit& visit,
                         Recording& recording) {
    take_notices();
    struct stat self;
    if (fstat(folder, &self) != 0)
        return false;
    const Key key{self.st_dev, self.st_ino};
    if (const auto found = m_byKey.find(key); found != m_byKey.end()) {
        const auto kept = found->second;
        const auto age = Clock::now() - kept->readAt;
        if (age < std::chrono::milliseconds(m_keeping.maxAgeMs) &&
            replay(*kept, folder, match, visit)) {
            m_kept.splice(m_kept.begin(), m_kept, kept);
            return true;
        }
        forget(kept, true);
    }
    // A watch costs the kernel a step for every entry of the folder: one
    // that will not be kept (its size speaks of more entries than the
    // records kept) is not watched. The size only guesses the count, and
    // a wrong guess costs time, not a wrong answer.
    const auto size = static_cast<std::uint64_t>(self.st_size);
    if ((size > kLargeFolderBytes && size / kBytesPerEntry > m_keeping.records) ||
        !notices_are_complete(folder))
        return false;
    // The watch is on the inode of the descriptor, not on whatever the name
    // means by now, and it is there before the folder is read: a change
    // during the read is noticed at the next search.
    const std::string path = "/proc/self/fd/" + std::to_string(folder);
    const int watch = inotify_add_watch(m_notices, path.c_str(), kWatchMask);
    if (watch < 0)
        return false;
    recording.m_cache = this;
    recording.m_device = self.st_dev;
    recording.m_kept.key = key;
    recording.m_kept.watch = watch;
    recording.m_kept.readAt = Clock::now();
    return false;
}

// replay reads again the records of `kept` that its notices do not cover and
// that this search wants, and then visits those that `match` accepts; false,
// with nothing visited, when such a record cannot be read or has changed its
// type.
bool SearchCache::replay(Kept& kept, int folder, const NameMatch& match, const Visit& visit) {
    std::string name;
    for (Record& record : kept.records) {
        if (!record.readAgain)
            continue;
        name.assign(kept.names, record.nameAt, record.nameLength);
        if (!match(name))
            continue;
        struct stat st;
        if (read_entry(folder, name.c_str(), st) != 0 || !same_type(record.type, st.st_mode))
            return false;
        fill_record(st, record.fields);
    }
    FoundFile found;
    for (const Record& record : kept.records) {
        const std::string_view recordName(kept.names.data() + record.nameAt, record.nameLength);
        if (!match(recordName))
            continue;
        found = record.fields;
        found.name = recordName;
        visit(found);
    }
    return true;
}

// take_notices reads the notices that have come: each drops the records of
// its folder, a lost notice (the queue ran over) those of every folder.
void SearchCache::take_notices() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(m_notices, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                forget_all();
                continue;
            }
            const auto found = m_byWatch.find(event->wd);
            if (found == m_byWatch.end())
                continue;
            // A file written or touched keeps its place: from now on it is
            // read again on every answer, as a folder is (a log that grows
            // by a record a request does not make its folder read again).
            if ((event->mask & (IN_MODIFY | IN_ATTRIB)) != 0 && event->len > 0 &&
                read_again(*found->second, event->name))
                continue;
            forget(found->second, (event->mask & IN_IGNORED) == 0);
        }
    }
}

// read_again makes the record of `name` in `kept` one that is read again on
// every answer; false when there is no such record.
bool SearchCache::read_again(Kept& kept, const char* name) {
    const std::string_view wanted(name);
    for (Record& record : kept.records) {
        if (record.nameLength == wanted.size() &&
            wanted.compare(0, wanted.size(), kept.names, record.nameAt, record.nameLength) == 0) {
            record.readAgain = true;
            return true;
        }
    }
    return false;
}

void SearchCache::forget(KeptList::iterator kept, bool removeWatch) {
    if (removeWatch)
        inotify_rm_watch(m_notices, kept->watch);
    m_records -= kept->records.size();
    m_byKey.erase(kept->key);
    m_byWatch.erase(kept->watch);
    m_kept.erase(kept);
}

void SearchCache::forget_all() {
    while (!m_kept.empty())
        forget(m_kept.begin(), true);
}

// keep makes `kept` the first of the kept folders, dropping the least
// recently searched ones beyond the bounds.
void SearchCache::keep(Kept&& kept) {
    if (const auto found = m_byKey.find(kept.key); found != m_byKey.end())
        forget(found->second, found->second->watch != kept.watch);
    if (const auto found = m_byWatch.find(kept.watch); found != m_byWatch.end())
        forget(found->second, false);
    while (!m_kept.empty() &&
           (m_records + kept.records.size() > m_keeping.records || m_kept.size() >= kMaxFolders))
        forget(std::prev(m_kept.end()), true);
    m_records += kept.records.size();
    m_kept.push_front(std::move(kept));
    m_byKey[m_kept.front().key] = m_kept.begin();
    m_byWatch[m_kept.front().watch] = m_kept.begin();
}

// release_watch removes a watch that no kept folder uses.
void SearchCache::release_watch(int watch) {
    if (m_byWatch.find(watch) == m_byWatch.end())
        inotify_rm_watch(m_notices, watch);
}

SearchCache::Recording::~Recording() {
    drop();
}

void SearchCache::Recording::add(std::string_view name, unsigned char type, int error,
                                 const struct stat& st) {
    if (m_cache == nullptr)
        return;
    // A vanished entry is noticed; any other failure might not be.
    if (error != 0) {
        if (error != ENOENT)
            drop();
        return;
    }
    if (m_kept.records.size() >= m_cache->m_keeping.records ||
        m_kept.names.size() + name.size() > UINT32_MAX) {
        drop();
        return;
    }
    Record& record = m_kept.records.emplace_back();
    record.nameAt = static_cast<std::uint32_t>(m_kept.names.size());
    record.nameLength = static_cast<std::uint32_t>(name.size());
    record.type = type;
    record.readAgain = type != DT_REG || st.st_nlink > 1 || st.st_dev != m_device;
    fill_record(st, record.fields);
    m_kept.names.append(name);
}

void SearchCache::Recording::keep() {
    if (m_cache == nullptr)
        return;
    m_kept.names.shrink_to_fit();
    m_kept.records.shrink_to_fit();
    m_cache->keep(std::move(m_kept));
    m_cache = nullptr;
}

void SearchCache::Recording::drop() {
    if (m_cache == nullptr)
        return;
    m_cache->release_watch(m_kept.watch);
    m_cache = nullptr;
    m_kept = Kept();
}

} // namespace platform

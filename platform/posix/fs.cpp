// POSIX only: directories through readdir and fstatat, paths with "/" and getcwd.
#include "platform/fs.h"
#include "platform/common/ascii.h"
#include "platform/posix/entry_batch.h"
#include "platform/posix/entry_stat.h"
#include "platform/posix/search_cache.h"
#include "platform/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

namespace platform {

namespace {

// same_character compares one pattern character with one name character:
// single-byte ones without regard to ASCII letter case, double-byte ones
// exactly (a trail byte that looks like a letter is not a letter).
bool same_character(std::string_view p, std::size_t pi, std::size_t pl, std::string_view n,
                    std::size_t ni, std::size_t nl) {
    if (pl != nl) {
        return false;
    }
    if (pl == 1) {
        return ascii::lower(p[pi]) == ascii::lower(n[ni]);
    }
    return p[pi] == n[ni] && p[pi + 1] == n[ni + 1];
}

// glob_match matches `name` against `pattern` character by character ("*" any
// run, "?" one character, a double-byte character counting as one). On a
// mismatch the last "*" takes one more character of the name and the rest is
// tried again, which is enough because a later "*" can absorb anything an
// earlier one could.
bool glob_match(std::string_view pattern, std::string_view name) {
    std::size_t pi = 0;
    std::size_t ni = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (ni < name.size()) {
        const std::size_t nl = char_length(name, ni);
        if (pi < pattern.size()) {
            if (pattern[pi] == '*') {
                starPattern = ++pi;
                starName = ni;
                continue;
            }
            const std::size_t pl = char_length(pattern, pi);
            if (pattern[pi] == '?' || same_character(pattern, pi, pl, name, ni, nl)) {
                pi += pl;
                ni += nl;
                continue;
            }
        }
        if (starPattern == std::string_view::npos) {
            return false;
        }
        starName += char_length(name, starName);
        pi = starPattern;
        ni = starName;
    }
    while (pi < pattern.size() && pattern[pi] == '*') {
        ++pi;
    }
    return pi == pattern.size();
}

// wildcard_match gives the Windows meaning of a search wildcard: a final ".*"
// may also match nothing at the end of the name, so "*.*" matches every name
// and "readme.*" also matches "readme".
bool wildcard_match(std::string_view pattern, std::string_view name) {
    if (glob_match(pattern, name)) {
        return true;
    }
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           glob_match(pattern.substr(0, pattern.size() - 2), name);
}

// matches_every_name tells whether `pattern` matches any name at all, so
// that the scan can skip the matching.
bool matches_every_name(std::string_view pattern) {
    return pattern == "*.*" || (!pattern.empty() && pattern.find_first_not_of('*') == pattern.npos);
}

// DirCloser closes an open directory stream when the scan ends.
struct DirCloser {
    DIR* dir;
    ~DirCloser() { closedir(dir); }
};

// A folder's records past this many are read in batches, on several
// threads (EntryBatch); a smaller folder is read as it is listed.
constexpr std::size_t kParallelFrom = 1024;

// The test seam of set_directory_read_hook.
std::atomic<DirectoryReadHook> read_hook{nullptr};

// The searches kept since keep_searches, and whether a search is using them.
std::unique_ptr<SearchCache> kept_searches;
std::atomic<bool> kept_searches_busy{false};

// KeptSearches is the use of the kept searches by one search; a search that
// finds them in use (by another thread, or by the search whose visit it was
// begun in) goes without them.
class KeptSearches {
  public:
    explicit KeptSearches(bool wanted)
        : m_held(wanted && !kept_searches_busy.exchange(true, std::memory_order_acquire)) {}
    ~KeptSearches() {
        if (m_held)
            kept_searches_busy.store(false, std::memory_order_release);
    }
    KeptSearches(const KeptSearches&) = delete;
    KeptSearches& operator=(const KeptSearches&) = delete;
    SearchCache* cache() const { return m_held ? kept_searches.get() : nullptr; }

  private:
    bool m_held;
};

// The working directory as this thread last read it, and whether it must be
// read again. Per thread, as scans are.
thread_local std::string t_cwd;
thread_local bool t_cwdStale = true;

// working_directory returns the working directory as read at the thread's
// first call after its last scan began, or "" when it cannot be read: one
// getcwd per scan however many names it joins, and a process that changes
// its working directory between scans (a FastCGI child on its next request)
// joins names to the new one.
const std::string& working_directory() {
    if (t_cwdStale) {
        t_cwdStale = false;
        std::string buffer(256, '\0');
        for (;;) {
            if (getcwd(buffer.data(), buffer.size()) != nullptr) {
                buffer.resize(std::strlen(buffer.c_str()));
                break;
            }
            if (errno != ERANGE) {
                buffer.clear();
                break;
            }
            buffer.resize(buffer.size() * 2);
        }
        t_cwd = std::move(buffer);
    }
    return t_cwd;
}

} // namespace

SearchResult find_files(std::string_view pattern,
                        const std::function<void(const FoundFile&)>& visit) {
    t_cwdStale = true;
    const std::size_t slash = pattern.rfind('/');
    std::string folder;
    std::string_view wildcard = pattern;
    if (slash == std::string_view::npos) {
        folder = ".";
    } else {
        folder.assign(pattern.substr(0, slash == 0 ? 1 : slash));
        wildcard = pattern.substr(slash + 1);
    }
    if (folder.find('\0') != std::string::npos) {
        return {SearchEnd::not_searched};
    }
    const int fd = open(folder.c_str(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {SearchEnd::not_searched};
    }
    const bool everyName = matches_every_name(wildcard);
    const auto matches = [&](std::string_view name) {
        return everyName || wildcard_match(wildcard, name);
    };
    const KeptSearches kept(read_hook.load(std::memory_order_relaxed) == nullptr);
    SearchCache::Recording recording;
    if (SearchCache* cache = kept.cache();
        cache != nullptr && cache->answer(fd, matches, visit, recording)) {
        close(fd);
        return {SearchEnd::complete, 0, true};
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return {SearchEnd::not_searched};
    }
    const DirCloser closer{dir};
    FoundFile found;
    // Each entry read is recorded for a kept search and visited when wanted.
    // A link whose target is missing (or that loops) is listed as itself; an
    // entry that has vanished since readdir is left out.
    const auto take = [&](std::string_view name, unsigned char type, bool wanted, int error,
                          const struct stat& st) {
        recording.add(name, type, error, st);
        if (error != 0 || !wanted) {
            return;
        }
        found.name = name;
        fill_record(st, found);
        visit(found);
    };
    // The entries past the first kParallelFrom are read in batches, on
    // several threads; the records before them are visited as they are read.
    EntryBatch batch;
    std::size_t recordsRead = 0;
    for (;;) {
        const DirectoryReadHook hook = read_hook.load(std::memory_order_relaxed);
        if (const int error = hook != nullptr ? hook(recordsRead) : 0; error != 0) {
            batch.read(fd, take);
            return {SearchEnd::read_error, error};
        }
        // readdir's null is the end of the folder or a read error; only
        // errno tells them apart.
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            const int error = errno;
            batch.read(fd, take);
            if (error != 0) {
                return {SearchEnd::read_error, error};
            }
            recording.keep();
            return {SearchEnd::complete};
        }
        ++recordsRead;
        const char* name = entry->d_name;
        const std::string_view nameView(name, std::strlen(name));
        // A search that is kept reads every name, for the searches after it.
        const bool wanted = matches(nameView);
        if (!wanted && !recording.active()) {
            continue;
        }
        if (recordsRead > kParallelFrom) {
            batch.add(nameView, entry->d_type, wanted);
            if (batch.full()) {
                batch.read(fd, take);
            }
            continue;
        }
        struct stat st;
        const int error = read_entry(fd, name, st);
        take(nameView, entry->d_type, wanted, error, st);
    }
}

bool keep_searches(const SearchKeeping& keeping) {
    while (kept_searches_busy.exchange(true, std::memory_order_acquire)) {
        std::this_thread::yield();
    }
    kept_searches.reset();
    if (keeping.records > 0) {
        kept_searches = SearchCache::open(keeping);
    }
    const bool keeps = kept_searches != nullptr;
    kept_searches_busy.store(false, std::memory_order_release);
    return keeps;
}

void set_directory_read_hook(DirectoryReadHook hook) {
    read_hook.store(hook, std::memory_order_relaxed);
}

std::string full_path(std::string_view name) {
    if (!name.empty() && name.front() == '/') {
        return std::string(name);
    }
    const std::string& cwd = working_directory();
    if (cwd.empty()) {
        return std::string(name);
    }
    std::string path;
    path.reserve(cwd.size() + 1 + name.size());
    path += cwd;
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

char path_separator() {
    return '/';
}

std::ptrdiff_t path_root_length(std::string_view path) {
    return !path.empty() && path.front() == '/' ? 1 : 0;
}

bool href_keeps_double_byte() {
    return false;
}

} // namespace platform

// POSIX only (Linux inotify): the records of folders searched whole, kept
// while the system's change notices say that a search would read them alike.
#pragma once

#include "platform/fs.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// SearchCache keeps, per folder (its device and inode), the records a
// search read in the order the folder gave them. A folder is watched through
// the very descriptor the search opened before it is read; a notice that a
// name came or went, or about the folder itself, drops its records (as does
// a lost notice). Records that the folder's notices do not cover are
// read again on every answer: folders (their time follows what happens
// inside them), links and entries of unknown type (their target lies
// elsewhere), files with more than one name or on another device (a write
// through the other name is noticed elsewhere), and any entry that a notice
// said was written or touched since.
class SearchCache {
  public:
    using NameMatch = std::function<bool(std::string_view)>;
    using Visit = std::function<void(const FoundFile&)>;

    // open returns a cache with its own notice descriptor, or null when the
    // system gives none.
    static std::unique_ptr<SearchCache> open(const SearchKeeping& keeping);
    ~SearchCache();
    SearchCache(const SearchCache&) = delete;
    SearchCache& operator=(const SearchCache&) = delete;

    class Recording;

    // answer visits the records of the kept search of the folder open as
    // `folder` that `match` accepts, and returns true, when that search is
    // still what a search would read. Otherwise it visits nothing, returns
    // false and sets up `recording` to keep the search the caller now reads
    // (inactive when this folder cannot be kept).
    bool answer(int folder, const NameMatch& match, const Visit& visit, Recording& recording);

  private:
    struct Record {
        std::uint32_t nameAt = 0;
        std::uint32_t nameLength = 0;
        unsigned char type = 0; // the folder's type of the entry (DT_*)
        bool readAgain = false; // not covered by the folder's notices
        FoundFile fields;       // all but the name
    };
    using Clock = std::chrono::steady_clock;
    using Key = std::pair<dev_t, ino_t>;
    struct Kept {
        Key key;
        int watch = -1;
        Clock::time_point readAt;
        std::string names;
        std::vector<Record> records;
    };
    using KeptList = std::list<Kept>; // the most recently searched first

    SearchCache(int notices, const SearchKeeping& keeping);
    void take_notices();
    static bool read_again(Kept& kept, const char* name);
    bool replay(Kept& kept, int folder, const NameMatch& match, const Visit& visit);
    void forget(KeptList::iterator kept, bool removeWatch);
    void forget_all();
    void keep(Kept&& kept);
    void release_watch(int watch);

    int m_notices;
    SearchKeeping m_keeping;
    std::size_t m_records = 0; // the records of all kept folders
    KeptList m_kept;
    std::map<Key, KeptList::iterator> m_byKey;
    std::map<int, KeptList::iterator> m_byWatch;

  public:
    // Recording collects the records of one search for its folder's cache;
    // what it has not kept when it goes is dropped.
    class Recording {
      public:
        Recording() = default;
        ~Recording();
        Recording(const Recording&) = delete;
        Recording& operator=(const Recording&) = delete;

        // active tells whether the records are still wanted.
        bool active() const { return m_cache != nullptr; }
        // add takes the entry `name` of type `type` (DT_*) as read_entry read
        // it (`error` its result); an entry that cannot be read for another
        // reason than having vanished, or one past the bounds, makes the
        // search one that is not kept.
        void add(std::string_view name, unsigned char type, int error, const struct stat& st);
        // keep hands the records of a search that read the whole folder to
        // the cache.
        void keep();

      private:
        friend class SearchCache;
        void drop();

        SearchCache* m_cache = nullptr;
        dev_t m_device = 0; // the folder's
        Kept m_kept;
    };
};

} // namespace platform

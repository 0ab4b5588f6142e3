#pragma once
// What the background check found out about each picture, kept between runs so that a later
// start with an unchanged library checks nothing. An entry is keyed by the file's path, size,
// modification time and inode: a file replaced or edited since is checked again.
//
// The file ($XDG_CACHE_HOME/tappy/verdicts, by default ~/.cache/tappy/verdicts) is as hostile as
// any picture: one that is truncated, corrupt, foreign or larger than kMaxVerdictFileBytes is
// ignored as a whole and rebuilt. It is written to a temporary file and renamed over the old one,
// so a run killed while writing leaves the old cache or the new one, never half of one. It is
// never required: a folder that cannot be written only means checking again at the next start.
//
// Layout, integers little-endian: "TAPPYVC1", a u32 entry count, the entries, and a u64 FNV-1a
// hash of everything before it. An entry: u64 size, u64 inode, i64 modification time in ns,
// u32 width, u32 height (0 x 0 when it does not decode), u16 path length, the path's bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace codec {
constexpr std::uint32_t kMaxVerdicts = 200'000;
constexpr std::size_t kMaxVerdictPath = 4096;
constexpr std::size_t kMaxVerdictFileBytes = 32u << 20;

struct FileKey {
    std::string path;
    std::uint64_t size = 0;
    std::uint64_t inode = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileKey&) const = default;
};

// The key of the file at path now; nullopt when it is not a regular file.
std::optional<FileKey> KeyOf(const std::string& path);

struct Verdict {
    bool decodes = false;
    std::uint32_t width = 0; // as shown, when it decodes
    std::uint32_t height = 0;
};

// $XDG_CACHE_HOME/tappy/verdicts when that is an absolute path, else under $HOME/.cache; empty
// when neither is set, and then nothing is remembered.
std::string DefaultVerdictFile();

// Not thread-safe: the store's worker is its only user.
class VerdictCache {
public:
    // Entries from a cache file's bytes; nullopt when any part of it is not what Save writes.
    static std::optional<std::vector<std::pair<FileKey, Verdict>>> Parse(const unsigned char* data,
                                                                         std::size_t size);
    static std::string Serialize(const std::vector<std::pair<FileKey, Verdict>>& entries);

    explicit VerdictCache(std::string file) : m_file(std::move(file)) {}
    // Reads the file once; anything wrong with it leaves the cache empty.
    void Load();
    std::optional<Verdict> Find(const FileKey& key);
    void Put(const FileKey& key, const Verdict& verdict);
    // Writes the cache when it learned something since it was read or last written. prune: every
    // picture has been looked up, so the entries not looked up are of files that went. False
    // when it could not be written (nothing else changes).
    bool Save(bool prune);

private:
    struct Entry {
        FileKey key;
        Verdict verdict;
        bool used = false;
    };
    std::string m_file;
    bool m_loaded = false, m_dirty = false;
    std::unordered_map<std::string, Entry> m_entries; // by path
};
} // namespace codec

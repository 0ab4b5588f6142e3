#include "platform/codec/verdict_cache.h"

#include "platform/codec/codec_internal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace codec {
namespace {
constexpr char kMagic[8] = {'T', 'A', 'P', 'P', 'Y', 'V', 'C', '1'};
constexpr std::size_t kFixedEntryBytes = 8 + 8 + 8 + 4 + 4 + 2;

std::uint64_t Fnv1a(const unsigned char* p, std::size_t n)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

std::uint64_t Le64(const unsigned char* p)
{
    return std::uint64_t{detail::Le32(p)} | std::uint64_t{detail::Le32(p + 4)} << 32;
}

void Append(std::string& s, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// mkdir -p, private to the user like the rest of their cache.
bool MakeFolders(const std::string& file)
{
    for (std::size_t at = file.find('/', 1); at != std::string::npos; at = file.find('/', at + 1)) {
        if (mkdir(file.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}
} // namespace

std::optional<FileKey> KeyOf(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileKey{path, static_cast<std::uint64_t>(st.st_size),
                   static_cast<std::uint64_t>(st.st_ino),
                   std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::string DefaultVerdictFile()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/tappy/verdicts";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/tappy/verdicts";
    return {};
}

std::optional<std::vector<std::pair<FileKey, Verdict>>>
VerdictCache::Parse(const unsigned char* data, std::size_t size)
{
    if (size < sizeof kMagic + 4 + 8 || size > kMaxVerdictFileBytes ||
        std::memcmp(data, kMagic, sizeof kMagic) != 0 ||
        Fnv1a(data, size - 8) != Le64(data + size - 8))
        return std::nullopt;
    const std::uint32_t count = detail::Le32(data + sizeof kMagic);
    if (count > kMaxVerdicts)
        return std::nullopt;
    std::vector<std::pair<FileKey, Verdict>> out;
    std::size_t at = sizeof kMagic + 4;
    const std::size_t end = size - 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (end - at < kFixedEntryBytes)
            return std::nullopt;
        const unsigned char* p = data + at;
        FileKey key;
        key.size = Le64(p);
        key.inode = Le64(p + 8);
        key.mtimeNs = static_cast<std::int64_t>(Le64(p + 16));
        Verdict v;
        v.width = detail::Le32(p + 24);
        v.height = detail::Le32(p + 28);
        v.decodes = v.width != 0 || v.height != 0;
        const std::size_t length = detail::Le16(p + 32);
        at += kFixedEntryBytes;
        if (length == 0 || length > kMaxVerdictPath || end - at < length ||
            (v.decodes && !WithinBudget(v.width, v.height)))
            return std::nullopt;
        key.path.assign(reinterpret_cast<const char*>(data + at), length);
        if (key.path.find('\0') != std::string::npos)
            return std::nullopt;
        at += length;
        out.emplace_back(std::move(key), v);
    }
    if (at != end)
        return std::nullopt;
    return out;
}

std::string VerdictCache::Serialize(const std::vector<std::pair<FileKey, Verdict>>& entries)
{
    std::string s(kMagic, sizeof kMagic);
    Append(s, 0, 4);
    std::uint32_t count = 0;
    for (const auto& [key, v] : entries) {
        if (count == kMaxVerdicts || key.path.empty() || key.path.size() > kMaxVerdictPath ||
            s.size() + kFixedEntryBytes + key.path.size() + 8 > kMaxVerdictFileBytes)
            continue;
        Append(s, key.size, 8);
        Append(s, key.inode, 8);
        Append(s, static_cast<std::uint64_t>(key.mtimeNs), 8);
        Append(s, v.decodes ? v.width : 0, 4);
        Append(s, v.decodes ? v.height : 0, 4);
        Append(s, key.path.size(), 2);
        s += key.path;
        ++count;
    }
    for (int i = 0; i < 4; ++i)
        s[sizeof kMagic + i] = static_cast<char>(count >> (8 * i) & 0xFF);
    Append(s, Fnv1a(reinterpret_cast<const unsigned char*>(s.data()), s.size()), 8);
    return s;
}

void VerdictCache::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (m_file.empty())
        return;
    const auto file = FileSource::Open(m_file);
    std::vector<unsigned char> bytes;
    if (!file || !detail::ReadAll(*file, &bytes, kMaxVerdictFileBytes))
        return;
    const auto entries = Parse(bytes.data(), bytes.size());
    if (!entries) {
        m_dirty = true; // rebuilt at the next save
        return;
    }
    for (const auto& [key, v] : *entries)
        m_entries[key.path] = Entry{key, v, false};
}

std::optional<Verdict> VerdictCache::Find(const FileKey& key)
{
    Load();
    const auto it = m_entries.find(key.path);
    if (it == m_entries.end() || !(it->second.key == key))
        return std::nullopt;
    it->second.used = true;
    return it->second.verdict;
}

void VerdictCache::Put(const FileKey& key, const Verdict& verdict)
{
    Load();
    Entry& e = m_entries[key.path];
    e = Entry{key, verdict, true};
    m_dirty = true;
}

bool VerdictCache::Save(bool prune)
{
    Load();
    if (prune && std::erase_if(m_entries, [](const auto& e) { return !e.second.used; }) > 0)
        m_dirty = true;
    if (!m_dirty || m_file.empty())
        return !m_file.empty();
    std::vector<std::pair<FileKey, Verdict>> entries;
    entries.reserve(m_entries.size());
    for (const auto& [path, e] : m_entries)
        entries.emplace_back(e.key, e.verdict);
    if (!MakeFolders(m_file))
        return false;
    std::string temp = m_file + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, Serialize(entries));
    if (close(fd) != 0 || !written || rename(temp.c_str(), m_file.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    m_dirty = false;
    return true;
}
} // namespace codec

#include "content/map_reader.h"

#include "content/lists.h"

#include <cstring>
#include <sys/stat.h>

namespace {
bool EndsItem(int c)
{
    return c == std::char_traits<char>::eof() || c == '}' || c == '\t' || c == ',' || c == ';';
}
} // namespace

char* ReadItem(std::istream& stream, char* buffer, int size)
{
    if (size <= 0)
        return buffer;
    stream >> std::ws;
    int stored = 0;
    while (stored < size - 1) {
        const int c = stream.peek();
        if (EndsItem(c))
            break;
        buffer[stored++] = static_cast<char>(stream.get());
    }
    buffer[stored] = '\0';
    return buffer;
}

std::istream& ReadItem(std::istream& stream, CString& item)
{
    char buffer[kMapItemBufferSize];
    // Taken as a zero-terminated string: a NUL byte in the file ends the item's text there.
    item = ReadItem(stream, buffer, kMapItemBufferSize);
    return stream;
}

bool CTextList::Read(std::istream& stream)
{
    RemoveAll();
    if (stream.fail())
        return false;
    char c = 0;
    stream >> c;
    if (stream.fail() || c != '{') {
        stream.putback(c);
        return false;
    }
    stream >> std::ws;
    if (stream.peek() == '}') {
        stream.get();
        return true;
    }
    for (;;) {
        // Only white space left before the end of the input: no further item is read. A list
        // cut off after a separator keeps what it had, as a separator before a closing brace
        // adds nothing, whether or not a line break ends the file.
        if (stream.good())
            stream >> std::ws;
        if (!stream.good())
            return false;
        CString item;
        ReadItem(stream, item);
        AddUnique(item);
        stream >> std::ws;
        if (stream.get(c) && c != ',' && c != ';' && c != '\t')
            stream.putback(c);
        if (stream.peek() == '}') {
            stream.get();
            return true;
        }
    }
}

TextModeStreamBuf::int_type TextModeStreamBuf::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    std::size_t keep = 0;
    if (gptr() && gptr() > eback()) {
        m_out[0] = gptr()[-1];
        keep = 1;
    }
    std::size_t outLen = keep;
    while (outLen == keep) {
        const std::streamsize got = m_source->sgetn(m_raw, kChunk);
        if (got <= 0) {
            if (m_pendingCR)
                m_out[outLen++] = '\r';
            m_pendingCR = false;
            break;
        }
        std::size_t i = 0;
        if (!m_started) {
            m_started = true;
            if (got >= 3 && std::memcmp(m_raw, "\xEF\xBB\xBF", 3) == 0)
                i = 3;
        }
        for (; i < static_cast<std::size_t>(got); ++i) {
            const char ch = m_raw[i];
            if (m_pendingCR) {
                m_pendingCR = false;
                if (ch != '\n')
                    m_out[outLen++] = '\r';
            }
            if (ch == '\r')
                m_pendingCR = true;
            else
                m_out[outLen++] = ch;
        }
    }
    setg(m_out, m_out + keep, m_out + outLen);
    return outLen > keep ? traits_type::to_int_type(m_out[keep]) : traits_type::eof();
}

MapFileStream::MapFileStream(const char* path) : std::istream(nullptr)
{
    rdbuf(&m_text);
    struct stat st {};
    // Only a regular file: a FIFO would block the start-up, a directory reads as an error.
    if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode) ||
        !m_file.open(path, std::ios::in | std::ios::binary))
        setstate(std::ios::failbit);
}

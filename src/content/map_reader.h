#pragma once
// The map file's brace lists: the item reader, and the text-mode stream the file is read
// through. CTextList::Read (lists.h) reads a whole list with these.
#include "platform/cstring.h"

#include <fstream>
#include <istream>
#include <streambuf>

constexpr int kMapItemBufferSize = 1024;

// Reads one item into buffer (at most size - 1 bytes and a terminating zero); the byte that
// ended the item stays in the stream. Returns buffer.
char* ReadItem(std::istream& stream, char* buffer, int size);
std::istream& ReadItem(std::istream& stream, CString& item);

// Text-mode reading over a byte source: a carriage return right before a line feed is dropped,
// so every line break reads as one line feed whichever editor wrote the file. A UTF-8
// byte-order mark at the very start is skipped too; editors add it unasked, and as a stray byte
// where the first list should begin it would cost the whole map.
class TextModeStreamBuf : public std::streambuf {
public:
    explicit TextModeStreamBuf(std::streambuf* source) : m_source(source) {}

protected:
    int_type underflow() override;

private:
    static constexpr std::size_t kChunk = 4096;
    std::streambuf* m_source;
    bool m_started = false;
    bool m_pendingCR = false;
    char m_raw[kChunk];
    // One byte of put-back kept from the previous chunk, a carriage return held over, a chunk.
    char m_out[kChunk + 2];
};

// The map file opened for reading in text mode. Anything but a regular file that can be
// opened (missing, a directory, a device, unreadable) leaves the stream failed from the start.
class MapFileStream : public std::istream {
public:
    explicit MapFileStream(const char* path);

private:
    std::filebuf m_file;
    TextModeStreamBuf m_text{&m_file};
};

#pragma once
// The item reader of the map file's brace lists.
#include "platform/cstring.h"

#include <istream>

constexpr int kMapItemBufferSize = 1024;

// Reads one item into buffer (at most size - 1 bytes and a terminating zero); the byte that
// ended the item stays in the stream. Returns buffer.
char* ReadItem(std::istream& stream, char* buffer, int size);
std::istream& ReadItem(std::istream& stream, CString& item);

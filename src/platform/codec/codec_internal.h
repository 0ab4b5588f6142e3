#pragma once
// Shared by the format readers of the codec library. Library-internal.
#include "platform/codec/codec.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace codec::detail {
// A file's stored size and the EXIF orientation (1 to 8) to show it upright.
struct RawSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int orientation = 1;
};

// Receives a decoder's rows and reduces them by area averaging to fit the box it was given,
// holding only the output and two rows of sums: its memory never grows with the picture's
// long side. Rows are straight (not premultiplied) 0xAARRGGBB unless Begin says otherwise.
class Reducer {
public:
    Reducer(int fitW, int fitH) : m_fitW(fitW), m_fitH(fitH) {}
    // Keeps no pixels: Finish gives one pixel, opaque when any pushed pixel shows at all.
    static Reducer CheckOnly()
    {
        Reducer r(1, 1);
        r.m_checkOnly = true;
        return r;
    }
    bool Checking() const { return m_checkOnly; }
    // bottomUp: the decoder delivers the last row first (BMP).
    bool Begin(const RawSize& size, bool bottomUp = false, bool premultiplied = false);
    // A row of `width` words the decoder may fill and then push.
    std::uint32_t* RowBuffer() { return m_row.data(); }
    void PushRow(const std::uint32_t* row);
    int RowsPushed() const { return m_pushed; }
    // Rows not delivered (a file that ends early but is still accepted) stay transparent.
    bool Finish(Picture* out);

private:
    void EmitRow(int outY);
    int m_fitW, m_fitH;
    std::uint32_t m_w = 0, m_h = 0;
    int m_tw = 0, m_th = 0; // stored (not yet turned) output size
    int m_orientation = 1;
    bool m_bottomUp = false, m_premultiplied = false, m_opaque = true;
    bool m_checkOnly = false, m_visible = false;
    int m_pushed = 0;
    std::vector<std::uint32_t> m_row;
    std::vector<std::uint32_t> m_out;
    std::vector<std::uint64_t> m_line;   // one source row reduced across, 4 sums per column
    std::vector<std::uint64_t> m_acc[2]; // the output row in progress and the next one
    int m_accRow = 0;                    // output row m_acc[0] belongs to
};

std::optional<RawSize> PngSize(const Source& f);
bool PngDecode(const Source& f, Reducer& r);
std::optional<RawSize> JpegSize(const Source& f);
bool JpegDecode(const Source& f, Reducer& r, int fitW, int fitH);
std::optional<RawSize> GifSize(const Source& f);
bool GifDecode(const Source& f, Reducer& r);
std::optional<RawSize> WebpSize(const Source& f);
bool WebpDecode(const Source& f, Reducer& r, int fitW, int fitH);
std::optional<RawSize> TiffSize(const Source& f);
bool TiffDecode(const Source& f, Reducer& r);
std::optional<RawSize> HeifSize(const Source& f);
bool HeifDecode(const Source& f, Reducer& r);
std::optional<RawSize> QoiSize(const Source& f);
bool QoiDecode(const Source& f, Reducer& r);
std::optional<RawSize> BmpSize(const Source& f);
bool BmpDecode(const Source& f, Reducer& r);

// EXIF orientation from a TIFF-structured block (the body of a JPEG APP1 "Exif" segment after
// its six-byte name); 1 when absent or damaged.
int ExifOrientation(const unsigned char* tiff, std::size_t n);

// Reads a whole file into memory, refusing one larger than `limit` bytes.
bool ReadAll(const Source& f, std::vector<unsigned char>* out, std::uint64_t limit);

inline std::uint32_t Be16(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 8) | p[1];
}
inline std::uint32_t Be32(const unsigned char* p)
{
    return (Be16(p) << 16) | Be16(p + 2);
}
inline std::uint32_t Le16(const unsigned char* p)
{
    return (std::uint32_t{p[1]} << 8) | p[0];
}
inline std::uint32_t Le32(const unsigned char* p)
{
    return (Le16(p + 2) << 16) | Le16(p);
}
} // namespace codec::detail

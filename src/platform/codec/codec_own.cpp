// QOI and BMP, read by small bounded readers of our own. Both stream their rows into the
// reducer, so neither ever holds more than a row of the picture.
#include "platform/codec/codec_internal.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace codec::detail {
namespace {
// Sequential reads through a small buffer; past the end every read fails.
class Reader {
public:
    Reader(const Source& f, std::uint64_t pos) : m_src(f), m_pos(pos) {}
    bool Byte(unsigned char* out)
    {
        if (m_at == m_len && !Refill())
            return false;
        *out = m_buf[m_at++];
        return true;
    }
    bool Bytes(unsigned char* out, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            if (!Byte(out + i))
                return false;
        return true;
    }

private:
    bool Refill()
    {
        const std::uint64_t left = m_src.Size() - std::min(m_src.Size(), m_pos);
        m_len = static_cast<std::size_t>(std::min<std::uint64_t>(m_buf.size(), left));
        m_at = 0;
        if (m_len == 0 || !m_src.Read(m_pos, m_buf.data(), m_len)) {
            m_len = 0;
            return false;
        }
        m_pos += m_len;
        return true;
    }
    const Source& m_src;
    std::uint64_t m_pos;
    std::array<unsigned char, 16384> m_buf{};
    std::size_t m_at = 0, m_len = 0;
};

// ---- QOI ----
constexpr std::uint64_t kQoiHeader = 14, kQoiEnd = 8, kQoiLongestRun = 62;

std::uint32_t QoiHash(std::uint32_t p)
{
    const std::uint32_t a = p >> 24, r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return (r * 3 + g * 5 + b * 7 + a * 11) % 64;
}

// ---- BMP ----
struct Mask {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    unsigned Get(std::uint32_t v) const
    {
        if (!mask)
            return 255;
        const std::uint32_t x = (v & mask) >> shift;
        return bits >= 8 ? x >> (bits - 8) & 0xFF
                         : (x * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1);
    }
    static Mask Of(std::uint32_t m)
    {
        Mask k;
        k.mask = m;
        if (!m)
            return k;
        while (!(m >> k.shift & 1))
            ++k.shift;
        while (k.shift + k.bits < 32 && (m >> (k.shift + k.bits) & 1))
            ++k.bits;
        return k;
    }
};

struct BmpHeader {
    std::uint32_t width = 0, height = 0;
    bool topDown = false;
    std::uint32_t bpp = 0, compression = 0, offBits = 0, dibSize = 0;
    std::uint32_t colors = 0;
    Mask r, g, b, a;
};

std::optional<BmpHeader> ReadBmpHeader(const Source& f)
{
    unsigned char h[14 + 124]{};
    if (!f.Read(0, h, 18))
        return std::nullopt;
    BmpHeader bh;
    bh.offBits = Le32(h + 10);
    bh.dibSize = Le32(h + 14);
    if (bh.dibSize == 12) {
        if (!f.Read(0, h, 26))
            return std::nullopt;
        bh.width = Le16(h + 18);
        bh.height = Le16(h + 20);
        bh.bpp = Le16(h + 24);
    } else {
        if (bh.dibSize < 40 || bh.dibSize > 124 || !f.Read(0, h, 14 + bh.dibSize))
            return std::nullopt;
        const auto w = static_cast<std::int32_t>(Le32(h + 18));
        const auto ht = static_cast<std::int32_t>(Le32(h + 22));
        if (w <= 0 || ht == 0 || ht == INT32_MIN)
            return std::nullopt;
        bh.width = static_cast<std::uint32_t>(w);
        bh.topDown = ht < 0;
        bh.height = static_cast<std::uint32_t>(ht < 0 ? -ht : ht);
        bh.bpp = Le16(h + 28);
        bh.compression = Le32(h + 30);
        bh.colors = Le32(h + 46);
    }
    const std::uint32_t c = bh.compression, bpp = bh.bpp;
    const bool palette = bpp == 1 || bpp == 4 || bpp == 8;
    const bool ok = (c == 0 && (palette || bpp == 16 || bpp == 24 || bpp == 32)) ||
                    (c == 1 && bpp == 8) || (c == 2 && bpp == 4) ||
                    ((c == 3 || c == 6) && (bpp == 16 || bpp == 32));
    if (!ok || ((c == 1 || c == 2) && bh.topDown) || !WithinBudget(bh.width, bh.height))
        return std::nullopt;
    // A colour table is read only for pictures that index one, and never beyond 2^bpp entries.
    if (!palette)
        bh.colors = 0;
    else if (bh.colors == 0 || bh.colors > (1u << bpp))
        bh.colors = 1u << bpp;
    if (c == 3 || c == 6) {
        // Masks follow a 40-byte header, or are part of a larger one.
        unsigned char m[16]{};
        if (!f.Read(14 + 40, m, c == 6 || bh.dibSize >= 56 ? 16 : 12))
            return std::nullopt;
        bh.r = Mask::Of(Le32(m));
        bh.g = Mask::Of(Le32(m + 4));
        bh.b = Mask::Of(Le32(m + 8));
        if (c == 6 || bh.dibSize >= 56)
            bh.a = Mask::Of(Le32(m + 12));
    } else if (bpp == 16) {
        bh.r = Mask::Of(0x7C00);
        bh.g = Mask::Of(0x03E0);
        bh.b = Mask::Of(0x001F);
    } else if (bpp == 32) {
        bh.r = Mask::Of(0xFF0000);
        bh.g = Mask::Of(0xFF00);
        bh.b = Mask::Of(0xFF);
    }
    if (c == 0 || c == 3 || c == 6) {
        // Uncompressed rows have a known extent, so a cut-off file is refused here.
        const std::uint64_t stride = (std::uint64_t{bh.width} * bpp + 31) / 32 * 4;
        if (std::uint64_t{bh.offBits} + stride * bh.height > f.Size())
            return std::nullopt;
    } else if (!WholeFrameAllowed(bh.width, bh.height, f.Size())) {
        return std::nullopt; // run-length data can claim a huge area in a few bytes
    }
    return bh;
}

bool BmpPalette(const Source& f, const BmpHeader& bh, std::uint32_t* palette)
{
    std::fill(palette, palette + 256, 0xFF000000u);
    const std::uint32_t entry = bh.dibSize == 12 ? 3 : 4;
    unsigned char buf[256 * 4];
    if (!f.Read(14 + bh.dibSize, buf, bh.colors * entry))
        return false;
    for (std::uint32_t i = 0; i < bh.colors; ++i) {
        const unsigned char* p = buf + i * entry;
        palette[i] = 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
    return true;
}

bool BmpRle(const Source& f, const BmpHeader& bh, const std::uint32_t* palette, Reducer& r)
{
    Reader in(f, bh.offBits);
    const bool four = bh.compression == 2;
    std::uint32_t* row = r.RowBuffer();
    std::fill(row, row + bh.width, 0);
    std::uint32_t x = 0;
    auto put = [&](unsigned index) {
        if (x < bh.width)
            row[x] = palette[index & 0xFF];
        ++x;
    };
    auto nextRow = [&] {
        r.PushRow(row);
        std::fill(row, row + bh.width, 0);
        return static_cast<std::uint32_t>(r.RowsPushed()) < bh.height;
    };
    for (;;) {
        unsigned char cmd[2];
        if (!in.Bytes(cmd, 2))
            return false; // the data ends without its end mark
        if (cmd[0] > 0) {
            for (unsigned i = 0; i < cmd[0]; ++i)
                put(four ? (i % 2 ? cmd[1] & 0xF : cmd[1] >> 4) : cmd[1]);
        } else if (cmd[1] == 0) {
            x = 0;
            if (!nextRow())
                return true;
        } else if (cmd[1] == 1) {
            while (static_cast<std::uint32_t>(r.RowsPushed()) < bh.height)
                nextRow();
            return true;
        } else if (cmd[1] == 2) {
            unsigned char d[2];
            if (!in.Bytes(d, 2))
                return false;
            x += d[0];
            for (unsigned k = 0; k < d[1]; ++k)
                if (!nextRow())
                    return true;
        } else {
            const unsigned n = cmd[1];
            const unsigned bytes = four ? (n + 1) / 2 : n;
            unsigned char data[256];
            if (!in.Bytes(data, bytes + (bytes & 1)))
                return false;
            for (unsigned i = 0; i < n; ++i)
                put(four ? (i % 2 ? data[i / 2] & 0xF : data[i / 2] >> 4) : data[i]);
        }
    }
}
} // namespace

std::optional<RawSize> QoiSize(const Source& f)
{
    unsigned char h[kQoiHeader];
    if (!f.Read(0, h, sizeof h) || (h[12] != 3 && h[12] != 4) || h[13] > 1)
        return std::nullopt;
    const RawSize size{Be32(h + 4), Be32(h + 8), 1};
    if (!WithinBudget(size.width, size.height))
        return std::nullopt;
    // Even a picture of one colour needs a byte per run of 62 pixels.
    const std::uint64_t pixels = std::uint64_t{size.width} * size.height;
    if (f.Size() < kQoiHeader + kQoiEnd + (pixels + kQoiLongestRun - 1) / kQoiLongestRun)
        return std::nullopt;
    return size;
}

bool QoiDecode(const Source& f, Reducer& r)
{
    const auto size = QoiSize(f);
    if (!size || !r.Begin(*size))
        return false;
    Reader in(f, kQoiHeader);
    std::uint32_t index[64]{};
    std::uint32_t px = 0xFF000000u;
    unsigned run = 0;
    std::uint32_t* row = r.RowBuffer();
    for (std::uint32_t y = 0; y < size->height; ++y) {
        for (std::uint32_t x = 0; x < size->width; ++x) {
            if (run > 0) {
                --run;
            } else {
                unsigned char b;
                if (!in.Byte(&b))
                    return false;
                if (b == 0xFE || b == 0xFF) {
                    unsigned char c[4] = {0, 0, 0, static_cast<unsigned char>(px >> 24)};
                    if (!in.Bytes(c, b == 0xFE ? 3 : 4))
                        return false;
                    px = std::uint32_t{c[3]} << 24 | std::uint32_t{c[0]} << 16 |
                         std::uint32_t{c[1]} << 8 | c[2];
                } else if ((b & 0xC0) == 0x00) {
                    px = index[b];
                } else if ((b & 0xC0) == 0x40) {
                    const std::uint32_t pr = (px >> 16) + ((b >> 4 & 3) - 2u);
                    const std::uint32_t pg = (px >> 8) + ((b >> 2 & 3) - 2u);
                    const std::uint32_t pb = px + ((b & 3) - 2u);
                    px = (px & 0xFF000000u) | (pr & 0xFF) << 16 | (pg & 0xFF) << 8 | (pb & 0xFF);
                } else if ((b & 0xC0) == 0x80) {
                    unsigned char c;
                    if (!in.Byte(&c))
                        return false;
                    const unsigned dg = (b & 0x3F) - 32u;
                    const std::uint32_t pr = (px >> 16) + dg - 8u + (c >> 4);
                    const std::uint32_t pg = (px >> 8) + dg;
                    const std::uint32_t pb = px + dg - 8u + (c & 0xF);
                    px = (px & 0xFF000000u) | (pr & 0xFF) << 16 | (pg & 0xFF) << 8 | (pb & 0xFF);
                } else {
                    run = b & 0x3F;
                }
                index[QoiHash(px)] = px;
            }
            row[x] = px;
        }
        r.PushRow(row);
    }
    return true;
}

std::optional<RawSize> BmpSize(const Source& f)
{
    const auto bh = ReadBmpHeader(f);
    if (!bh)
        return std::nullopt;
    return RawSize{bh->width, bh->height, 1};
}

bool BmpDecode(const Source& f, Reducer& r)
{
    const auto bh = ReadBmpHeader(f);
    if (!bh || !r.Begin(RawSize{bh->width, bh->height, 1}, !bh->topDown))
        return false;
    std::uint32_t palette[256];
    if (bh->colors && !BmpPalette(f, *bh, palette))
        return false;
    if (bh->compression == 1 || bh->compression == 2)
        return BmpRle(f, *bh, palette, r);
    const std::uint64_t stride = (std::uint64_t{bh->width} * bh->bpp + 31) / 32 * 4;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(stride));
    std::uint32_t* row = r.RowBuffer();
    for (std::uint32_t y = 0; y < bh->height; ++y) {
        if (!f.Read(bh->offBits + stride * y, bytes.data(), bytes.size()))
            return false;
        const unsigned char* p = bytes.data();
        for (std::uint32_t x = 0; x < bh->width; ++x) {
            switch (bh->bpp) {
            case 1:
                row[x] = palette[p[x / 8] >> (7 - x % 8) & 1];
                break;
            case 4:
                row[x] = palette[p[x / 2] >> (x % 2 ? 0 : 4) & 0xF];
                break;
            case 8:
                row[x] = palette[p[x]];
                break;
            case 24:
                row[x] = 0xFF000000u | std::uint32_t{p[x * 3 + 2]} << 16 |
                         std::uint32_t{p[x * 3 + 1]} << 8 | p[x * 3];
                break;
            default: {
                const std::uint32_t v = bh->bpp == 16 ? Le16(p + x * 2) : Le32(p + x * 4);
                row[x] = bh->a.Get(v) << 24 | bh->r.Get(v) << 16 | bh->g.Get(v) << 8 | bh->b.Get(v);
            }
            }
        }
        r.PushRow(row);
    }
    return true;
}
} // namespace codec::detail

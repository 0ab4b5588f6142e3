// JPEG through libjpeg-turbo, decoded straight to 1/2, 1/4 or 1/8 of its size where that still
// covers the screen, with the EXIF orientation read from its APP1 segment. A check reads the whole
// file but decodes only its structure (Skimmer).
#include "platform/codec/codec_internal.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
// jerror.h after jpeglib.h: it needs its types.
#include <jerror.h>

namespace codec::detail {
namespace {
constexpr std::size_t kChunk = 32768;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool cutShort;
};

// Keeps what the decoder needs to follow a file's structure and drops the entropy-coded data of
// its scans, all of it still read. Decoding that data costs most of a decode even at 1/8 scale,
// and nothing in it can fail a decode: libjpeg only warns of damaged data there and pads it. A
// scan the file ends inside still runs out of input, just as when its data is decoded.
class Skimmer {
public:
    // Writes the kept bytes of in[0, n) to out, which has room for n + 2; returns how many.
    std::size_t Feed(const JOCTET* in, std::size_t n, JOCTET* out);

private:
    enum class State { Between, Marker, Length1, Length2, Segment, Scan, ScanFF };
    void Code(JOCTET c);
    State m_state = State::Between;
    JOCTET m_code = 0;
    std::uint32_t m_left = 0;
};

void Skimmer::Code(JOCTET c)
{
    // Markers without a length: start and end of image, restart, and the temporary marker.
    if (c == 0xD8 || c == 0xD9 || c == 0x01 || (c >= 0xD0 && c <= 0xD7)) {
        m_state = State::Between;
        return;
    }
    m_code = c;
    m_state = State::Length1;
}

std::size_t Skimmer::Feed(const JOCTET* in, std::size_t n, JOCTET* out)
{
    JOCTET* o = out;
    const JOCTET* const end = in + n;
    while (in < end) {
        switch (m_state) {
        case State::Scan: {
            const void* ff = std::memchr(in, 0xFF, static_cast<std::size_t>(end - in));
            in = ff ? static_cast<const JOCTET*>(ff) + 1 : end;
            if (ff)
                m_state = State::ScanFF;
            break;
        }
        case State::ScanFF: {
            const JOCTET c = *in++;
            if (c == 0xFF) // fill
                break;
            if (c == 0x00) { // a stuffed data byte
                m_state = State::Scan;
                break;
            }
            *o++ = 0xFF; // restart markers are kept, so the decoder finds each where it expects
            *o++ = c;
            if (c >= 0xD0 && c <= 0xD7)
                m_state = State::Scan;
            else
                Code(c);
            break;
        }
        case State::Between:
            *o = *in++;
            if (*o++ == 0xFF)
                m_state = State::Marker;
            break;
        case State::Marker: {
            const JOCTET c = *in++;
            *o++ = c;
            if (c == 0x00) // not a marker after all
                m_state = State::Between;
            else if (c != 0xFF)
                Code(c);
            break;
        }
        case State::Length1:
            m_left = std::uint32_t{*in} << 8;
            *o++ = *in++;
            m_state = State::Length2;
            break;
        case State::Length2:
            m_left |= *in;
            *o++ = *in++;
            m_left = m_left >= 2 ? m_left - 2 : 0;
            m_state = State::Segment;
            break;
        case State::Segment: {
            const auto k = static_cast<std::size_t>(
                std::min<std::uint64_t>(m_left, static_cast<std::uint64_t>(end - in)));
            std::memcpy(o, in, k);
            o += k;
            in += k;
            m_left -= static_cast<std::uint32_t>(k);
            break;
        }
        }
        if (m_state == State::Segment && m_left == 0)
            m_state = m_code == 0xDA ? State::Scan : State::Between;
    }
    return static_cast<std::size_t>(o - out);
}

struct SourceManager {
    jpeg_source_mgr pub;
    const Source* src;
    std::uint64_t pos;
    bool skim;
    Skimmer skimmer;
    JOCTET buffer[kChunk + 2];
    JOCTET raw[kChunk];
};

[[noreturn]] void OnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// A file that ends inside its scans would be padded with grey by libjpeg: counted as damaged.
void OnMessage(j_common_ptr info, int level)
{
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && e->pub.msg_code == JWRN_JPEG_EOF)
        e->cutShort = true;
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The next bytes of the file, or when skimming the next that are kept; 0 at its end.
std::size_t NextBytes(SourceManager* m)
{
    for (;;) {
        const std::uint64_t left = m->src->Size() - std::min(m->src->Size(), m->pos);
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof m->raw, left));
        if (n == 0 || !m->src->Read(m->pos, m->skim ? m->raw : m->buffer, n))
            return 0;
        m->pos += n;
        if (!m->skim)
            return n;
        if (const std::size_t kept = m->skimmer.Feed(m->raw, n, m->buffer))
            return kept;
    }
}

boolean Fill(j_decompress_ptr info)
{
    auto* m = reinterpret_cast<SourceManager*>(info->src);
    std::size_t n = NextBytes(m);
    if (n == 0) {
        // The library's own remedy: a fake end-of-image marker, with a warning.
        WARNMS(info, JWRN_JPEG_EOF);
        m->buffer[0] = 0xFF;
        m->buffer[1] = JPEG_EOI;
        n = 2;
    }
    m->pub.next_input_byte = m->buffer;
    m->pub.bytes_in_buffer = n;
    return TRUE;
}

void Skip(j_decompress_ptr info, long count)
{
    auto* m = reinterpret_cast<SourceManager*>(info->src);
    if (count <= 0)
        return;
    auto n = static_cast<std::size_t>(count);
    // Skimmed bytes are not the file's: they are skipped by reading on through them.
    while (m->skim && n > m->pub.bytes_in_buffer) {
        n -= m->pub.bytes_in_buffer;
        Fill(info);
    }
    if (n <= m->pub.bytes_in_buffer) {
        m->pub.next_input_byte += n;
        m->pub.bytes_in_buffer -= n;
        return;
    }
    m->pos += n - m->pub.bytes_in_buffer;
    m->pub.bytes_in_buffer = 0;
}

int Orientation(j_decompress_ptr info)
{
    for (jpeg_saved_marker_ptr m = info->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return ExifOrientation(m->data + 6, m->data_length - 6);
    }
    return 1;
}

// CMYK as Adobe writes it (inverted) or plain, to straight ARGB.
void CmykRow(const JSAMPLE* in, std::uint32_t* out, JDIMENSION w, bool inverted)
{
    for (JDIMENSION x = 0; x < w; ++x, in += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = 0xFF000000u | (c * k / 255) << 16 | (m * k / 255) << 8 | (y * k / 255);
    }
}

// Kept free of objects with destructors: longjmp leaves this frame without unwinding.
// skim: the entropy-coded data is read but not decoded (Skimmer), for a check.
bool Run(const Source& f, Reducer* r, int fitW, int fitH, RawSize* size, bool skim)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    SourceManager* source = new SourceManager;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnError;
    errors.pub.emit_message = OnMessage;
    errors.cutShort = false;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        delete source;
        return false;
    }
    jpeg_create_decompress(&info);
    // The whole-image buffers of a progressive file come from this allowance.
    info.mem->max_memory_to_use = 512L << 20;
    source->src = &f;
    source->pos = 0;
    source->skim = skim;
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = Fill;
    source->pub.skip_input_data = Skip;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
    info.src = &source->pub;
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        ERREXIT(&info, JERR_NO_IMAGE);
    size->width = info.image_width;
    size->height = info.image_height;
    size->orientation = Orientation(&info);
    if (!r || errors.cutShort) {
        jpeg_destroy_decompress(&info);
        delete source;
        return r == nullptr && !errors.cutShort;
    }
    if (!WithinBudget(info.image_width, info.image_height) ||
        (jpeg_has_multiple_scans(&info) &&
         !WholeFrameAllowed(info.image_width, info.image_height, f.Size())))
        ERREXIT(&info, JERR_IMAGE_TOO_BIG);
    // The largest reduction whose result still covers what the screen shows of it.
    const bool turned = size->orientation >= 5;
    const double ow = turned ? info.image_height : info.image_width;
    const double oh = turned ? info.image_width : info.image_height;
    const double scale = std::min(1.0, std::min(fitW / ow, fitH / oh));
    const double needW = info.image_width * scale, needH = info.image_height * scale;
    unsigned denom = 1;
    while (denom < 8 && (info.image_width + denom * 2 - 1) / (denom * 2) >= needW &&
           (info.image_height + denom * 2 - 1) / (denom * 2) >= needH)
        denom *= 2;
    info.scale_num = 1;
    info.scale_denom = denom;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    if (!r->Begin(RawSize{info.output_width, info.output_height, size->orientation}))
        ERREXIT(&info, JERR_IMAGE_TOO_BIG);
    JSAMPARRAY cmykRow = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info),
                                                          JPOOL_IMAGE, info.output_width * 4, 1)
                              : nullptr;
    while (info.output_scanline < info.output_height) {
        if (cmyk) {
            jpeg_read_scanlines(&info, cmykRow, 1);
            CmykRow(cmykRow[0], r->RowBuffer(), info.output_width, info.saw_Adobe_marker);
        } else {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(r->RowBuffer());
            jpeg_read_scanlines(&info, &row, 1);
        }
        if (errors.cutShort)
            ERREXIT(&info, JERR_INPUT_EOF);
        r->PushRow(r->RowBuffer());
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    delete source;
    return !errors.cutShort;
}
} // namespace

std::optional<RawSize> JpegSize(const Source& f)
{
    RawSize size;
    if (!Run(f, nullptr, 0, 0, &size, false))
        return std::nullopt;
    return size;
}

bool JpegDecode(const Source& f, Reducer& r, int fitW, int fitH)
{
    RawSize size;
    return Run(f, &r, fitW, fitH, &size, r.Checking());
}
} // namespace codec::detail

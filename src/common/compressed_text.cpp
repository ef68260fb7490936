#include "common/compressed_text.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "common/text_encoding.h"
#include "common/text_file.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

// zlib counts in 32-bit units; larger buffers go through in steps of this.
constexpr std::size_t kMaxStep = 1u << 30;
constexpr std::size_t kMinOutputStep = 1u << 16;

// The two header bytes of a zlib stream: deflate, a valid window, check bits.
bool LooksLikeZlib(std::string_view bytes) {
    if (bytes.size() < 2) return false;
    auto cmf = static_cast<unsigned char>(bytes[0]);
    auto flg = static_cast<unsigned char>(bytes[1]);
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}

}  // namespace

std::string CompressZlib(std::string_view bytes, int level) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw TandrelError("zlib: deflateInit2 failed");
    std::string out;
    out.resize(deflateBound(&stream, static_cast<uLong>(bytes.size())));
    std::size_t inPos = 0, outPos = 0;
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        std::size_t inStep = std::min(bytes.size() - inPos, kMaxStep);
        if (out.size() - outPos < kMinOutputStep) out.resize(out.size() + std::max(out.size() / 2, kMinOutputStep));
        std::size_t outStep = std::min(out.size() - outPos, kMaxStep);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + inPos));
        stream.avail_in = static_cast<uInt>(inStep);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
        stream.avail_out = static_cast<uInt>(outStep);
        bool last = inPos + inStep == bytes.size();
        result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        inPos += inStep - stream.avail_in;
        outPos += outStep - stream.avail_out;
        if (result == Z_STREAM_ERROR) {
            deflateEnd(&stream);
            throw TandrelError("zlib: deflate failed");
        }
    }
    deflateEnd(&stream);
    out.resize(outPos);
    return out;
}

bool DecompressZlib(std::string_view compressed, std::string& out) {
    out.clear();
    z_stream stream{};
    if (inflateInit2(&stream, MAX_WBITS) != Z_OK) return false;
    // Text compresses about fourfold at level 1; grow by half as needed.
    out.resize(std::max(kMinOutputStep, std::min(compressed.size() * 4, compressed.size() + (std::size_t(1) << 30))));
    std::size_t inPos = 0, outPos = 0;
    int result = Z_OK;
    while (true) {
        if (out.size() - outPos < kMinOutputStep) out.resize(out.size() + std::max(out.size() / 2, kMinOutputStep));
        std::size_t inStep = std::min(compressed.size() - inPos, kMaxStep);
        std::size_t outStep = std::min(out.size() - outPos, kMaxStep);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data() + inPos));
        stream.avail_in = static_cast<uInt>(inStep);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
        stream.avail_out = static_cast<uInt>(outStep);
        result = inflate(&stream, Z_NO_FLUSH);
        std::size_t consumed = inStep - stream.avail_in;
        std::size_t produced = outStep - stream.avail_out;
        inPos += consumed;
        outPos += produced;
        if (result == Z_STREAM_END) break;
        bool stuck = result == Z_BUF_ERROR && consumed == 0 && produced == 0;
        if ((result != Z_OK && result != Z_BUF_ERROR) || stuck || (inPos == compressed.size() && produced == 0)) {
            // Corrupt data, or input used up before the end of the stream.
            inflateEnd(&stream);
            out.clear();
            return false;
        }
    }
    inflateEnd(&stream);
    out.resize(outPos);
    return true;
}

bool SaveCompressedText(const TStringList& lines, const std::string& file) {
    std::string text(kUtf8Bom);
    text += LinesToText(lines);
    return platform::WriteFileBytes(file, CompressZlib(text));
}

bool LoadPlainOrCompressedText(TStringList& lines, const std::string& file) {
    lines.clear();
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes)) return false;
    if (bytes.starts_with(kUtf16LeBom)) {
        lines = TextToLines(DecodeTextBytes(bytes));
        return true;
    }
    // A short stream can pass the binary test as text, so a stream that
    // inflates completely (its checksum included) wins over that test.
    std::string text;
    if (!LooksLikeZlib(bytes) || !DecompressZlib(bytes, text)) {
        if (IsBinaryData(bytes)) return false;
        lines = TextToLines(DecodeTextBytes(bytes));
        return true;
    }
    std::string_view view = text;
    if (view.starts_with(kUtf8Bom)) view.remove_prefix(kUtf8Bom.size());
    lines = TextToLines(view);
    return true;
}

}  // namespace tandrel

#include "tests/support/PngImage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>

namespace {

constexpr std::size_t kBytesPerPixel = 3;
constexpr int kLongestMatch = 258;
constexpr int kShortestMatch = 3;

// The row filters a PNG row starts with: none, the difference from the pixel on the left, from the pixel above.
constexpr std::uint8_t kFilterNone = 0;
constexpr std::uint8_t kFilterSub = 1;
constexpr std::uint8_t kFilterUp = 2;

std::uint32_t Crc32(const std::string& bytes, std::size_t nFrom) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = nFrom; i < bytes.size(); ++i)
        crc = table[(crc ^ static_cast<std::uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void AppendBigEndian(std::string& out, std::uint32_t value) {
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        out += static_cast<char>((value >> nShift) & 0xFF);
}

// Bits of a deflate stream: values from their lowest bit on, Huffman codes from their highest.
class CBitWriter {
public:
    void Put(std::uint32_t value, int nBits) {
        for (int i = 0; i < nBits; ++i)
            PutBit((value >> i) & 1);
    }
    void PutCode(std::uint32_t code, int nBits) {
        for (int i = nBits - 1; i >= 0; --i)
            PutBit((code >> i) & 1);
    }
    std::string Finish() {
        if (m_nBits > 0)
            m_bytes += static_cast<char>(m_current);
        return m_bytes;
    }

private:
    void PutBit(std::uint32_t bit) {
        m_current |= static_cast<std::uint8_t>(bit << m_nBits);
        if (++m_nBits == 8) {
            m_bytes += static_cast<char>(m_current);
            m_current = 0;
            m_nBits = 0;
        }
    }
    std::string m_bytes;
    std::uint8_t m_current = 0;
    int m_nBits = 0;
};

// A literal byte, a length or the end, in the fixed Huffman code of deflate.
void PutSymbol(CBitWriter& bits, int nSymbol) {
    if (nSymbol < 144)
        bits.PutCode(0x30 + nSymbol, 8);
    else if (nSymbol < 256)
        bits.PutCode(0x190 + nSymbol - 144, 9);
    else if (nSymbol < 280)
        bits.PutCode(nSymbol - 256, 7);
    else
        bits.PutCode(0xC0 + nSymbol - 280, 8);
}

// The previous byte repeated nLength times (3 to 258): a match at distance 1.
void PutRepeat(CBitWriter& bits, int nLength) {
    static constexpr std::array<int, 29> kBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr std::array<int, 29> kExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    std::size_t nCode = kBase.size() - 1;
    while (kBase[nCode] > nLength)
        --nCode;
    PutSymbol(bits, 257 + static_cast<int>(nCode));
    bits.Put(static_cast<std::uint32_t>(nLength - kBase[nCode]), kExtra[nCode]);
    bits.PutCode(0, 5); // distance code 0: one byte back
}

// One final block in the fixed code, runs of a byte as repeats of the byte before.
std::string Deflate(const std::vector<std::uint8_t>& data) {
    CBitWriter bits;
    bits.Put(1, 1); // the last block
    bits.Put(1, 2); // fixed Huffman codes
    for (std::size_t i = 0; i < data.size();) {
        PutSymbol(bits, data[i]);
        std::size_t nRun = 0;
        while (i + 1 + nRun < data.size() && data[i + 1 + nRun] == data[i])
            ++nRun;
        ++i;
        while (nRun >= kShortestMatch) {
            const int nLength = static_cast<int>(std::min<std::size_t>(nRun, kLongestMatch));
            PutRepeat(bits, nLength);
            nRun -= static_cast<std::size_t>(nLength);
            i += static_cast<std::size_t>(nLength);
        }
    }
    PutSymbol(bits, 256);
    return bits.Finish();
}

void AppendChunk(std::string& png, const char* pszType, const std::string& data) {
    AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t nTypeStart = png.size();
    png += pszType;
    png += data;
    AppendBigEndian(png, Crc32(png, nTypeStart));
}

// Each row with the filter that leaves the fewest bytes other than zero (the runs that compress).
std::vector<std::uint8_t> FilteredRows(int nWidth, int nHeight, const std::vector<std::uint8_t>& rgb) {
    const std::size_t nStride = static_cast<std::size_t>(nWidth) * kBytesPerPixel;
    std::vector<std::uint8_t> rows;
    rows.reserve((nStride + 1) * static_cast<std::size_t>(nHeight));
    std::vector<std::uint8_t> candidate(nStride);
    std::vector<std::uint8_t> best(nStride);
    for (std::size_t y = 0; y < static_cast<std::size_t>(nHeight); ++y) {
        const std::uint8_t* row = rgb.data() + y * nStride;
        const std::uint8_t* above = y > 0 ? row - nStride : nullptr;
        std::uint8_t bestFilter = kFilterNone;
        best.assign(row, row + nStride);
        auto nonZero = [](const std::vector<std::uint8_t>& bytes) {
            return std::count_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
        };
        auto nBest = nonZero(best);
        for (const std::uint8_t filter : {kFilterSub, kFilterUp}) {
            for (std::size_t x = 0; x < nStride; ++x) {
                const std::uint8_t before =
                    filter == kFilterSub ? (x >= kBytesPerPixel ? row[x - kBytesPerPixel] : 0) : (above ? above[x] : 0);
                candidate[x] = static_cast<std::uint8_t>(row[x] - before);
            }
            if (const auto nCandidate = nonZero(candidate); nCandidate < nBest) {
                nBest = nCandidate;
                bestFilter = filter;
                best = candidate;
            }
        }
        rows.push_back(bestFilter);
        rows.insert(rows.end(), best.begin(), best.end());
    }
    return rows;
}

} // namespace

std::string EncodePng(int nWidth, int nHeight, const std::vector<std::uint8_t>& rgb) {
    if (nWidth <= 0 || nHeight <= 0 ||
        rgb.size() != static_cast<std::size_t>(nWidth) * static_cast<std::size_t>(nHeight) * kBytesPerPixel)
        return {};
    std::string png("\x89PNG\r\n\x1A\n", 8);

    std::string header;
    AppendBigEndian(header, static_cast<std::uint32_t>(nWidth));
    AppendBigEndian(header, static_cast<std::uint32_t>(nHeight));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, filtered rows, not interlaced
    AppendChunk(png, "IHDR", header);

    const std::vector<std::uint8_t> rows = FilteredRows(nWidth, nHeight, rgb);
    std::string stream("\x78\x01", 2); // zlib: deflate with a 32 KiB window, no dictionary
    stream += Deflate(rows);
    AppendBigEndian(stream, Adler32(rows));
    AppendChunk(png, "IDAT", stream);

    AppendChunk(png, "IEND", {});
    return png;
}

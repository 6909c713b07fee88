#include "tests/support/PngFile.h"

#include "base/Files.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kBytesPerPixel = 3;
constexpr std::size_t kLongestMatch = 258;
constexpr std::size_t kShortestMatch = 3;

// The bits of a deflate stream, lowest bit first.
class CBitWriter {
public:
    // A Huffman code goes out from its highest bit.
    void Code(unsigned nCode, int nBits) {
        for (int nBit = nBits - 1; nBit >= 0; --nBit)
            Bits((nCode >> nBit) & 1U, 1);
    }
    // Other fields go out from their lowest bit.
    void Bits(unsigned nValue, int nBits) {
        for (int nBit = 0; nBit < nBits; ++nBit) {
            m_nByte |= ((nValue >> nBit) & 1U) << m_nFilled;
            if (++m_nFilled == 8)
                Flush();
        }
    }
    std::string Finish() {
        if (m_nFilled > 0)
            Flush();
        return std::move(m_bytes);
    }

private:
    void Flush() {
        m_bytes += static_cast<char>(m_nByte);
        m_nByte = 0;
        m_nFilled = 0;
    }

    std::string m_bytes;
    unsigned m_nByte = 0;
    int m_nFilled = 0;
};

// A literal byte or the end of the block in the fixed literal/length code.
void Symbol(CBitWriter& bits, unsigned nSymbol) {
    if (nSymbol < 144)
        bits.Code(0x30 + nSymbol, 8);
    else if (nSymbol < 256)
        bits.Code(0x190 + (nSymbol - 144), 9);
    else if (nSymbol < 280)
        bits.Code(nSymbol - 256, 7);
    else
        bits.Code(0xC0 + (nSymbol - 280), 8);
}

// A copy of nLength bytes (3 to 258) from nDistance bytes back (1 to 32768): a length code and a distance code, each
// with its extra bits.
void Match(CBitWriter& bits, std::size_t nLength, std::size_t nDistance) {
    static constexpr std::array<unsigned, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr std::array<int, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static constexpr std::array<unsigned, 30> kDistanceBase{
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static constexpr std::array<int, 30> kDistanceExtra{0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    std::size_t nLengthCode = kLengthBase.size() - 1;
    while (kLengthBase[nLengthCode] > nLength)
        --nLengthCode;
    Symbol(bits, static_cast<unsigned>(257 + nLengthCode));
    bits.Bits(static_cast<unsigned>(nLength) - kLengthBase[nLengthCode], kLengthExtra[nLengthCode]);
    std::size_t nDistanceCode = kDistanceBase.size() - 1;
    while (kDistanceBase[nDistanceCode] > nDistance)
        --nDistanceCode;
    bits.Code(static_cast<unsigned>(nDistanceCode), 5);
    bits.Bits(static_cast<unsigned>(nDistance) - kDistanceBase[nDistanceCode], kDistanceExtra[nDistanceCode]);
}

// One final block with the fixed codes: literals, and the longest earlier copy of what follows among the last few
// places where its first three bytes occurred.
std::string Deflate(const std::string& data) {
    constexpr std::size_t kWindow = 32768;
    constexpr int kProbes = 32;
    constexpr std::size_t kHashSize = std::size_t{1} << 15;
    const auto hashAt = [&data](std::size_t nAt) {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::size_t>(static_cast<unsigned char>(data[i]));
        };
        return ((byte(nAt) << 10) ^ (byte(nAt + 1) << 5) ^ byte(nAt + 2)) & (kHashSize - 1);
    };
    constexpr std::size_t kNone = SIZE_MAX;
    std::vector<std::size_t> heads(kHashSize, kNone);
    std::vector<std::size_t> previous(data.size(), kNone);
    const auto remember = [&](std::size_t nAt) {
        if (nAt + kShortestMatch > data.size())
            return;
        std::size_t& nHead = heads[hashAt(nAt)];
        previous[nAt] = nHead;
        nHead = nAt;
    };

    CBitWriter bits;
    bits.Bits(1, 1); // the final block
    bits.Bits(1, 2); // fixed codes
    std::size_t nAt = 0;
    while (nAt < data.size()) {
        std::size_t nBestLength = 0;
        std::size_t nBestDistance = 0;
        if (nAt + kShortestMatch <= data.size()) {
            const std::size_t nLongest = std::min(kLongestMatch, data.size() - nAt);
            std::size_t nCandidate = heads[hashAt(nAt)];
            for (int nProbe = 0; nProbe < kProbes && nCandidate != kNone && nAt - nCandidate <= kWindow; ++nProbe) {
                std::size_t nLength = 0;
                while (nLength < nLongest && data[nCandidate + nLength] == data[nAt + nLength])
                    ++nLength;
                if (nLength > nBestLength) {
                    nBestLength = nLength;
                    nBestDistance = nAt - nCandidate;
                }
                nCandidate = previous[nCandidate];
            }
        }
        const std::size_t nTaken = nBestLength >= kShortestMatch ? nBestLength : 1;
        if (nTaken > 1)
            Match(bits, nBestLength, nBestDistance);
        else
            Symbol(bits, static_cast<unsigned char>(data[nAt]));
        for (std::size_t i = 0; i < nTaken; ++i)
            remember(nAt + i);
        nAt += nTaken;
    }
    Symbol(bits, 256);
    return bits.Finish();
}

std::uint32_t Adler32(const std::string& data) {
    constexpr std::uint32_t kModulus = 65521;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char c : data) {
        a = (a + static_cast<unsigned char>(c)) % kModulus;
        b = (b + a) % kModulus;
    }
    return (b << 16) | a;
}

std::uint32_t Crc32(std::string_view data) {
    std::uint32_t nCrc = 0xFFFFFFFFU;
    for (const char c : data) {
        nCrc ^= static_cast<unsigned char>(c);
        for (int nBit = 0; nBit < 8; ++nBit)
            nCrc = (nCrc >> 1) ^ (0xEDB88320U & (0U - (nCrc & 1U)));
    }
    return ~nCrc;
}

void BigEndian(std::string& out, std::uint32_t nValue) {
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        out += static_cast<char>((nValue >> nShift) & 0xFFU);
}

void Chunk(std::string& out, std::string_view type, const std::string& data) {
    BigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type) + data;
    out += typed;
    BigEndian(out, Crc32(typed));
}

// Each row with the filter byte that leaves the smallest differences: none, the left neighbour or the upper one.
std::string FilteredRows(int cx, int cy, std::string_view rgb) {
    const std::size_t nRowBytes = static_cast<std::size_t>(cx) * kBytesPerPixel;
    std::string filtered;
    filtered.reserve((nRowBytes + 1) * static_cast<std::size_t>(cy));
    std::vector<std::string> candidates(3, std::string(nRowBytes, '\0'));
    for (std::size_t nRow = 0; nRow < static_cast<std::size_t>(cy); ++nRow) {
        const std::string_view row = rgb.substr(nRow * nRowBytes, nRowBytes);
        for (std::size_t i = 0; i < nRowBytes; ++i) {
            const auto byte = static_cast<unsigned char>(row[i]);
            const auto left = i >= kBytesPerPixel ? static_cast<unsigned char>(row[i - kBytesPerPixel]) : 0U;
            const auto up = nRow > 0 ? static_cast<unsigned char>(rgb[(nRow - 1) * nRowBytes + i]) : 0U;
            candidates[0][i] = static_cast<char>(byte);
            candidates[1][i] = static_cast<char>(byte - left);
            candidates[2][i] = static_cast<char>(byte - up);
        }
        std::size_t nBest = 0;
        long nBestSum = -1;
        for (std::size_t nFilter = 0; nFilter < candidates.size(); ++nFilter) {
            long nSum = 0;
            for (const char c : candidates[nFilter])
                nSum += std::labs(static_cast<signed char>(c));
            if (nBestSum < 0 || nSum < nBestSum) {
                nBest = nFilter;
                nBestSum = nSum;
            }
        }
        filtered += static_cast<char>(nBest);
        filtered += candidates[nBest];
    }
    return filtered;
}

} // namespace

bool WritePngFile(const std::string& strPath, int cx, int cy, std::string_view rgb) {
    if (cx <= 0 || cy <= 0 ||
        rgb.size() != static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy) * kBytesPerPixel)
        return false;
    std::string header;
    BigEndian(header, static_cast<std::uint32_t>(cx));
    BigEndian(header, static_cast<std::uint32_t>(cy));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits per sample, RGB, deflate, filters, no interlace

    const std::string rows = FilteredRows(cx, cy, rgb);
    std::string compressed = "\x78\x01"; // deflate with a 32 KiB window, no dictionary
    compressed += Deflate(rows);
    BigEndian(compressed, Adler32(rows));

    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", compressed);
    Chunk(png, "IEND", {});
    return WriteFileReplacing(strPath, png);
}

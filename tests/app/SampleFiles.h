#pragma once
// Small files of real formats, made here so that no sample is fetched: a baseline JPEG, a
// ZIP archive and a PDF-like text. Each carries the seed in its bytes, so files made for
// different cases never share a run of content.
#include <array>
#include <cstdint>
#include <string>

namespace samples {

// Bits written most significant first; a 0xFF byte in the coded data is followed by 0x00.
class BitWriter {
public:
    void Put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            FByte = static_cast<std::uint8_t>((FByte << 1) | ((value >> i) & 1));
            if (++FCount == 8)
                Flush();
        }
    }
    // Pads the last byte with ones, as the format asks.
    std::string Finish() {
        while (FCount != 0)
            Put(1, 1);
        return FBytes;
    }

private:
    void Flush() {
        FBytes += static_cast<char>(FByte);
        if (FByte == 0xFF)
            FBytes += '\0';
        FByte = 0;
        FCount = 0;
    }
    std::string FBytes;
    std::uint8_t FByte = 0;
    int FCount = 0;
};

inline std::string Be16(unsigned value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

inline std::string Segment(unsigned marker, const std::string& body) {
    return Be16(marker) + Be16(static_cast<unsigned>(body.size() + 2)) + body;
}

// A greyscale picture of `side` by `side` blocks of 8x8 pixels, each of one shade: only the
// DC coefficient is coded, in categories 0 to 6 that all take a 4-bit code.
inline std::string Jpeg(std::uint32_t seed, unsigned side) {
    std::string jpeg = "\xFF\xD8";
    jpeg += Segment(0xFFE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    jpeg += Segment(0xFFFE, "made by a test, seed " + std::to_string(seed));
    jpeg += Segment(0xFFDB, std::string(1, '\0') + std::string(64, '\x01'));
    jpeg += Segment(0xFFC0, std::string(1, '\x08') + Be16(8 * side) + Be16(8 * side) +
                                std::string("\x01\x01\x11\0", 4));
    // DC table: seven codes of 4 bits for categories 0..6; AC table: end of block alone.
    std::string dc = std::string("\0\0\0\x07", 4) + std::string(12, '\0');
    dc += std::string("\0\x01\x02\x03\x04\x05\x06", 7);
    std::string ac = std::string("\x01", 1) + std::string(15, '\0') + std::string(1, '\0');
    jpeg += Segment(0xFFC4, std::string(1, '\x00') + dc + std::string(1, '\x10') + ac);
    jpeg += Segment(0xFFDA, std::string("\x01\x01\0\0\x3F\0", 6));
    BitWriter bits;
    std::uint32_t state = seed | 1;
    int level = 0;
    for (unsigned i = 0; i < side * side; ++i) {
        state = state * 1664525u + 1013904223u;
        // A step of up to 63 either way, always back towards mid grey.
        int step = static_cast<int>((state >> 16) % 64);
        if (level > 0)
            step = -step;
        level += step;
        const unsigned magnitude = static_cast<unsigned>(step < 0 ? -step : step);
        int category = 0;
        while ((magnitude >> category) != 0)
            ++category;
        bits.Put(static_cast<std::uint32_t>(category), 4);
        if (category > 0) {
            const int extra = step < 0 ? step + (1 << category) - 1 : step;
            bits.Put(static_cast<std::uint32_t>(extra), category);
        }
        bits.Put(0, 1); // end of block
    }
    jpeg += bits.Finish();
    jpeg += "\xFF\xD9";
    return jpeg;
}

inline std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

inline std::string Le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// One stored (uncompressed) member.
inline std::string Zip(const std::string& member, const std::string& content) {
    const std::string common = Le(20, 2) + Le(0, 2) + Le(0, 2) + Le(0, 2) + Le(0x5B21, 2) +
                               Le(Crc32(content), 4) +
                               Le(static_cast<std::uint32_t>(content.size()), 4) +
                               Le(static_cast<std::uint32_t>(content.size()), 4) +
                               Le(static_cast<std::uint32_t>(member.size()), 2) + Le(0, 2);
    const std::string local = Le(0x04034B50, 4) + common + member + content;
    const std::string central = Le(0x02014B50, 4) + Le(20, 2) + common + Le(0, 2) + Le(0, 2) +
                                Le(0, 2) + Le(0, 4) + Le(0, 4) + member;
    const std::string end = Le(0x06054B50, 4) + Le(0, 2) + Le(0, 2) + Le(1, 2) + Le(1, 2) +
                            Le(static_cast<std::uint32_t>(central.size()), 4) +
                            Le(static_cast<std::uint32_t>(local.size()), 4) + Le(0, 2);
    return local + central + end;
}

// Readable text with the head and tail of a PDF, `lines` lines long.
inline std::string PdfText(const std::string& title, unsigned lines) {
    std::string pdf = "%PDF-1.4\n1 0 obj << /Title (" + title + ") >> endobj\nstream\n";
    for (unsigned i = 0; i < lines; ++i)
        pdf += "Line " + std::to_string(i) + " of " + title + ": income, deductions, refund.\n";
    return pdf + "endstream\n%%EOF\n";
}

} // namespace samples

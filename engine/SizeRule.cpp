#include "engine/ShredRun.h"

// 0.95 as an 80-bit extended value is M / 2^64 with this 64-bit mantissa. The product with
// a byte count is formed exactly in 128 bits, rounded to 64 significant bits (the extended
// product), then to an integer, both with ties to even. Doing it in integers gives the same
// result on compilers whose long double is only 64 bits wide.
namespace {

constexpr std::uint64_t kMantissa = 0xF333333333333333ull;

struct U128 {
    std::uint64_t hi, lo;
};

U128 Multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32;
    const std::uint64_t bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
    const std::uint64_t ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
    const std::uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & 0xFFFFFFFFu)};
}

int BitLength(U128 v) {
    int bits = 0;
    for (std::uint64_t w = v.hi ? v.hi : v.lo; w != 0; w >>= 1)
        ++bits;
    return v.hi ? bits + 64 : bits;
}

// The bits of v below bit `shift` (shift < 128) compared with half of 2^shift: -1, 0 or 1.
int CompareRemainderWithHalf(U128 v, int shift) {
    const auto bit = [&](int i) { return i >= 64 ? (v.hi >> (i - 64)) & 1 : (v.lo >> i) & 1; };
    if (!bit(shift - 1))
        return -1;
    for (int i = shift - 2; i >= 0; --i)
        if (bit(i))
            return 1;
    return 0;
}

U128 ShiftRight(U128 v, int shift) {
    if (shift == 0)
        return v;
    if (shift >= 64)
        return {0, v.hi >> (shift - 64)};
    return {v.hi >> shift, (v.lo >> shift) | (v.hi << (64 - shift))};
}

U128 ShiftLeft(U128 v, int shift) {
    if (shift == 0)
        return v;
    if (shift >= 64)
        return {v.lo << (shift - 64), 0};
    return {(v.hi << shift) | (v.lo >> (64 - shift)), v.lo << shift};
}

U128 AddOne(U128 v) {
    return {v.lo == ~0ull ? v.hi + 1 : v.hi, v.lo + 1};
}

// Rounds v to a multiple of 2^shift, ties to even.
U128 RoundToMultiple(U128 v, int shift) {
    if (shift <= 0)
        return v;
    const int half = CompareRemainderWithHalf(v, shift);
    U128 q = ShiftRight(v, shift);
    if (half > 0 || (half == 0 && (q.lo & 1)))
        q = AddOne(q);
    return ShiftLeft(q, shift);
}

} // namespace

std::int64_t NinetyFivePercent(std::int64_t freeSpace) noexcept {
    const bool negative = freeSpace < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(freeSpace)
                                             : static_cast<std::uint64_t>(freeSpace);
    // The exact product is product / 2^64.
    U128 product = Multiply(magnitude, kMantissa);
    product = RoundToMultiple(product, BitLength(product) - 64);
    product = RoundToMultiple(product, 64);
    const auto result = static_cast<std::int64_t>(product.hi);
    return negative ? -result : result;
}

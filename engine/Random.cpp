#include "engine/Random.h"

namespace {
std::uint32_t gState = 0;
}

std::uint32_t RandomDraw(std::uint32_t n) noexcept {
    gState = gState * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(gState) * n) >> 32);
}

std::uint32_t RandomState() noexcept {
    return gState;
}

void SetRandomState(std::uint32_t state) noexcept {
    gState = state;
}

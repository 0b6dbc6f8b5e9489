#pragma once
// The process-wide pseudo-random generator that feeds the overwrite passes. It starts at 0
// and is never seeded, so every run writes the same bytes for the same targets.
#include <cstdint>

// One draw with range n (n > 0): advances the state, returns a value in 0 .. n - 1.
std::uint32_t RandomDraw(std::uint32_t n) noexcept;

std::uint32_t RandomState() noexcept;
void SetRandomState(std::uint32_t state) noexcept;

#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Conversions of numbers from scripts and the setup file. Lua hands the
// engine doubles; a level may pass NaN, infinities or values far beyond any
// integer, and a plain cast of those is undefined behaviour.
namespace vantor {

// Truncation toward zero into an integer type: NaN reads as 0 and values
// beyond the type's range saturate at its limits.
template <class Integer>
Integer truncateTo(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double truncated = std::trunc(value);
    if (truncated <= static_cast<double>(std::numeric_limits<Integer>::min())) {
        return std::numeric_limits<Integer>::min();
    }
    if (truncated >= static_cast<double>(std::numeric_limits<Integer>::max())) {
        return std::numeric_limits<Integer>::max();
    }
    return static_cast<Integer>(truncated);
}

inline int truncateToInt(double value) {
    return truncateTo<int>(value);
}

// Real numbers that reach scene nodes and bodies (positions, directions,
// forces, angles, colours, rates) are read with NaN as 0 and clamped to this.
// A non-finite or overflowing float there turns a node's bounds into NaN,
// which OGRE's bounding box assertion turns into an abort at the next render;
// a bounded value keeps every product the scene graph forms finite.
inline constexpr double kMaxSceneNumber = 1e9;

inline float boundedFloat(double value) {
    if (std::isnan(value)) {
        return 0.0f;
    }
    if (value < -kMaxSceneNumber) {
        return static_cast<float>(-kMaxSceneNumber);
    }
    if (value > kMaxSceneNumber) {
        return static_cast<float>(kMaxSceneNumber);
    }
    return static_cast<float>(value);
}

}  // namespace vantor

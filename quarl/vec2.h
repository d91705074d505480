// glimshape — libquarl
// Purpose: a plain two-dimensional vector used for polygon points and offsets.
#ifndef QUARL_VEC2_H
#define QUARL_VEC2_H

namespace vorn {

/// @brief A 2-D vector of two values `x` and `y`; a plain aggregate.
template <class T>
struct Vec2 {
  T x{};
  T y{};

  Vec2() = default;
  Vec2(T x_, T y_) : x(x_), y(y_) {}

  Vec2 operator+(const Vec2& o) const { return {x + o.x, y + o.y}; }
  Vec2 operator-(const Vec2& o) const { return {x - o.x, y - o.y}; }
  Vec2 operator*(T s) const { return {x * s, y * s}; }
  Vec2& operator+=(const Vec2& o) { x += o.x; y += o.y; return *this; }
  Vec2& operator-=(const Vec2& o) { x -= o.x; y -= o.y; return *this; }
  bool operator==(const Vec2& o) const { return x == o.x && y == o.y; }
  bool operator!=(const Vec2& o) const { return !(*this == o); }
  T dot(const Vec2& o) const { return x * o.x + y * o.y; }
};

using Vec2d = Vec2<double>;
using Vec2f = Vec2<float>;

}  // namespace vorn

#endif

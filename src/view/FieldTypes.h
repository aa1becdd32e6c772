#pragma once
// Field-type codes as the grid's rules use them: the numbering of
// db::FieldType, repeated here so that the plain rules need nothing but Qt
// Core. A static_assert beside the grid model keeps the two in step.
namespace view::fieldtype {

inline constexpr int kSmallint = 2;
inline constexpr int kInteger = 3;
inline constexpr int kByte = 4;
inline constexpr int kBoolean = 5;
inline constexpr int kFloat = 6;
inline constexpr int kCurrency = 8;
inline constexpr int kDateTime = 11;
inline constexpr int kAutoInc = 14;
inline constexpr int kMemo = 16;
inline constexpr int kText = 24;

}  // namespace view::fieldtype

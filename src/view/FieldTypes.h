#pragma once
// Field-type codes as the grid's rules name them: the database layer's own
// codes under short names.
#include "db/FieldType.h"

namespace view::fieldtype {

inline constexpr int kSmallint = db::ftSmallint;
inline constexpr int kInteger = db::ftInteger;
inline constexpr int kByte = db::ftByte;
inline constexpr int kBoolean = db::ftBoolean;
inline constexpr int kFloat = db::ftFloat;
inline constexpr int kCurrency = db::ftCurrency;
inline constexpr int kDateTime = db::ftDateTime;
inline constexpr int kAutoInc = db::ftAutoInc;
inline constexpr int kMemo = db::ftMemo;
inline constexpr int kText = db::ftText;

}  // namespace view::fieldtype

// One call per statement for C++ programs: WRITE and READ whose item lists are built from the
// argument types, and the records of a WRITE or READ held in a std::string (Format, Parse). Each
// call is a BeginWrite or BeginRead, one item call per item and the EndWrite or EndRead.
//
// Item types: std::int8_t, std::int16_t, std::int32_t (INTEGER*1, *2, *4), float, double (REAL*4,
// *8), std::complex<float> and <double> (COMPLEX*8, *16), bool (LOGICAL*1); text as
// std::string_view, std::string or a NUL-terminated const char* (written only), char arrays
// (CHARACTER*N: written up to the first NUL, read whole, padded with blanks) and std::span<char>
// (CHARACTER of the span's length); std::span of any of these for an array. Any other type does
// not compile, with a message naming it.
#pragma once

#include <algorithm>
#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "fmtio/item_types.h"
#include "fmtio/read_statement.h"
#include "fmtio/write_statement.h"

namespace fmtio {

// A format text: NUL-terminated, or a string's characters; a null text is list-directed.
struct FormatText {
  FormatText(const char* text) : text(text), length(-1) {}
  FormatText(std::string_view text)
      : text(text.data()), length(static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF))) {}
  FormatText(const std::string& text) : FormatText(std::string_view(text)) {}
  const char* text;
  int length;
};

// The option bits of a statement (kErrorBranch, kEndBranch), given as its first argument.
struct Options {
  int bits;
};

// WRITE(unit, format) items. Returns what EndWrite returns.
template <class... Items>
int Write(int unit, FormatText format, const Items&... items);
template <class... Items>
int Write(Options options, int unit, FormatText format, const Items&... items);

// READ(unit, format) items, stored as they arrive. Returns what EndRead returns.
template <class... Items>
int Read(int unit, FormatText format, Items&&... items);
template <class... Items>
int Read(Options options, int unit, FormatText format, Items&&... items);

// The records a WRITE of the items would make, separated by "\n", without carriage control. An
// error ends the run as a WRITE's does.
template <class... Items>
std::string Format(FormatText format, const Items&... items);
// The same into `records` (what was made before an error, with kErrorBranch). Returns as EndWrite.
template <class... Items>
int Format(Options options, std::string& records, FormatText format, const Items&... items);

// READ of the items from the records of `text`, "\n" ending each, the end of the text being the
// end of the file. Returns as EndRead.
template <class... Items>
int Parse(std::string_view text, FormatText format, Items&&... items);
template <class... Items>
int Parse(Options options, std::string_view text, FormatText format, Items&&... items);

// ---- How the calls are made ------------------------------------------------------------------

namespace detail {

// Begins a WRITE to a string; EndFormat ends it and hands over its records.
void BeginFormat(FormatText format, int options);
int EndFormat(std::string& records);

// Begins a READ of the records of `text`; EndRead ends it.
void BeginParse(std::string_view text, FormatText format, int options);

// The item type code of a C++ type; the compiler's message for any other type names it.
template <class T>
struct NoItemTypeFor : std::false_type {};

template <class T>
struct ItemTypeOf {
  static_assert(NoItemTypeFor<T>::value, "fmtio: no item type for this C++ type");
  static constexpr int value = 0;
};
template <> struct ItemTypeOf<std::int8_t> { static constexpr int value = kInteger1; };
template <> struct ItemTypeOf<std::int16_t> { static constexpr int value = kInteger2; };
template <> struct ItemTypeOf<std::int32_t> { static constexpr int value = kInteger4; };
template <> struct ItemTypeOf<float> { static constexpr int value = kReal4; };
template <> struct ItemTypeOf<double> { static constexpr int value = kReal8; };
template <> struct ItemTypeOf<std::complex<float>> { static constexpr int value = kComplex8; };
template <> struct ItemTypeOf<std::complex<double>> { static constexpr int value = kComplex16; };
template <> struct ItemTypeOf<bool> { static constexpr int value = kLogical1; };

template <class T> inline constexpr bool kIsSpan = false;
template <class T, std::size_t N> inline constexpr bool kIsSpan<std::span<T, N>> = true;
template <class T> inline constexpr bool kIsTextSpan = false;
template <class C, std::size_t N>
  requires std::is_same_v<std::remove_const_t<C>, char>
inline constexpr bool kIsTextSpan<std::span<C, N>> = true;
template <class T> inline constexpr bool kIsComplex = false;
template <class T> inline constexpr bool kIsComplex<std::complex<T>> = true;
template <class T>
inline constexpr bool kIsCharArray =
    std::is_array_v<T> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<T>>, char>;

// A length or count beyond an int: -1, which the statement refuses (6207) instead of cutting it.
inline int Count(std::size_t n) { return n > 0x7FFFFFFF ? -1 : static_cast<int>(n); }

template <class T>
void Put(const T& item) {
  if constexpr (kIsCharArray<T>) {
    Put(std::string_view(item, static_cast<std::size_t>(std::find(item, item + std::extent_v<T>, '\0') - item)));
  } else if constexpr (kIsTextSpan<T>) {
    Put(std::string_view(item.data(), item.size()));
  } else if constexpr (kIsSpan<T>) {
    using Element = std::remove_cv_t<typename T::element_type>;
    if constexpr (std::is_arithmetic_v<Element> || kIsComplex<Element>) {
      WriteItem(ItemTypeOf<Element>::value, item.data(), Count(item.size()), 0);
    } else {
      for (const auto& element : item) Put(element);
    }
  } else if constexpr (std::is_same_v<T, bool>) {
    WriteLogical(item ? 1 : 0);
  } else if constexpr (kIsComplex<T>) {
    if constexpr (ItemTypeOf<T>::value != 0) WriteComplex(item.real(), item.imag());
  } else if constexpr (std::is_pointer_v<T> && std::is_convertible_v<T, const char*>) {
    Put(std::string_view(item ? item : ""));
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    const std::string_view text(item);
    if (text.size() > 0x7FFFFFFF) WriteItem(kCharacter, text.data(), 1, -1);
    else WriteItem(text.data(), static_cast<int>(text.size()));
  } else if constexpr (ItemTypeOf<T>::value != 0) {
    WriteItem(item);
  }
}

template <class T>
void Take(T& item) {
  static_assert(!std::is_const_v<T>, "fmtio: a READ item must be writable");
  if constexpr (kIsCharArray<T>) {
    ReadItem(kCharacter, item, Count(std::extent_v<T>));
  } else if constexpr (ItemTypeOf<T>::value != 0) {
    ReadItem(ItemTypeOf<T>::value, &item);
  }
}

template <class Item>
void TakeItem(Item&& item) {
  using T = std::remove_reference_t<Item>;
  static_assert(std::is_lvalue_reference_v<Item> || kIsSpan<std::remove_cv_t<T>>,
                "fmtio: a READ item must be a variable, not a temporary value");
  if constexpr (kIsTextSpan<std::remove_cv_t<T>>) {
    ReadItem(kCharacter, item.data(), Count(item.size()));
  } else if constexpr (kIsSpan<std::remove_cv_t<T>>) {
    for (auto& element : item) Take(element);
  } else {
    Take(item);
  }
}

}  // namespace detail

template <class... Items>
int Write(Options options, int unit, FormatText format, const Items&... items) {
  BeginWrite(unit, format.text, format.length, nullptr, 0, options.bits);
  (detail::Put(items), ...);
  return EndWrite();
}

template <class... Items>
int Write(int unit, FormatText format, const Items&... items) {
  return Write(Options{0}, unit, format, items...);
}

template <class... Items>
int Read(Options options, int unit, FormatText format, Items&&... items) {
  BeginRead(unit, format.text, format.length, options.bits);
  (detail::TakeItem(static_cast<Items&&>(items)), ...);
  return EndRead();
}

template <class... Items>
int Read(int unit, FormatText format, Items&&... items) {
  return Read(Options{0}, unit, format, static_cast<Items&&>(items)...);
}

template <class... Items>
int Format(Options options, std::string& records, FormatText format, const Items&... items) {
  detail::BeginFormat(format, options.bits);
  (detail::Put(items), ...);
  return detail::EndFormat(records);
}

template <class... Items>
std::string Format(FormatText format, const Items&... items) {
  std::string records;
  Format(Options{0}, records, format, items...);
  return records;
}

template <class... Items>
int Parse(Options options, std::string_view text, FormatText format, Items&&... items) {
  detail::BeginParse(text, format, options.bits);
  (detail::TakeItem(static_cast<Items&&>(items)), ...);
  return EndRead();
}

template <class... Items>
int Parse(std::string_view text, FormatText format, Items&&... items) {
  return Parse(Options{0}, text, format, static_cast<Items&&>(items)...);
}

}  // namespace fmtio

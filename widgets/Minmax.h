#pragma once
// Minimum, maximum and swap over integers, floats, date-times and variants. The array forms
// scan every element from the first; of equal extremes the first one wins. An empty array has
// no extreme: the array forms throw std::invalid_argument for it.
#include <QDateTime>
#include <QVariant>
#include <cstdint>
#include <span>

namespace kelpa::widgets {

void SwapInt(int &a, int &b);
void SwapLong(std::int32_t &a, std::int32_t &b);

// A when B < A, else B.
int Max(int a, int b);
// A when A < B, else B.
int Min(int a, int b);

int MaxInteger(std::span<const int> values);
int MinInteger(std::span<const int> values);
long double MaxFloat(std::span<const long double> values);
long double MinFloat(std::span<const long double> values);
QDateTime MaxDateTime(std::span<const QDateTime> values);
QDateTime MinDateTime(std::span<const QDateTime> values);
// Starts from a copy of the first value; a later value replaces it only when it compares
// greater (resp. less). Values that cannot be ordered against the current one never replace it.
QVariant MaxOf(std::span<const QVariant> values);
QVariant MinOf(std::span<const QVariant> values);

} // namespace kelpa::widgets

#include "widgets/Minmax.h"

#include <stdexcept>
#include <utility>

namespace kelpa::widgets {

namespace {

template <class T, class Better>
T pick(std::span<const T> values, Better better)
{
    if (values.empty())
        throw std::invalid_argument("empty array");
    T result = values.front();
    for (const T &v : values.subspan(1))
        if (better(v, result))
            result = v;
    return result;
}

bool variantGreater(const QVariant &a, const QVariant &b)
{
    return QVariant::compare(a, b) == QPartialOrdering::Greater;
}

bool variantLess(const QVariant &a, const QVariant &b)
{
    return QVariant::compare(a, b) == QPartialOrdering::Less;
}

} // namespace

void SwapInt(int &a, int &b)
{
    std::swap(a, b);
}

void SwapLong(std::int32_t &a, std::int32_t &b)
{
    std::swap(a, b);
}

int Max(int a, int b)
{
    return b < a ? a : b;
}

int Min(int a, int b)
{
    return a < b ? a : b;
}

int MaxInteger(std::span<const int> values)
{
    return pick(values, [](int v, int best) { return v > best; });
}

int MinInteger(std::span<const int> values)
{
    return pick(values, [](int v, int best) { return v < best; });
}

long double MaxFloat(std::span<const long double> values)
{
    return pick(values, [](long double v, long double best) { return v > best; });
}

long double MinFloat(std::span<const long double> values)
{
    return pick(values, [](long double v, long double best) { return v < best; });
}

QDateTime MaxDateTime(std::span<const QDateTime> values)
{
    return pick(values, [](const QDateTime &v, const QDateTime &best) { return v > best; });
}

QDateTime MinDateTime(std::span<const QDateTime> values)
{
    return pick(values, [](const QDateTime &v, const QDateTime &best) { return v < best; });
}

QVariant MaxOf(std::span<const QVariant> values)
{
    return pick(values, variantGreater);
}

QVariant MinOf(std::span<const QVariant> values)
{
    return pick(values, variantLess);
}

} // namespace kelpa::widgets

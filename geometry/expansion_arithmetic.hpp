// Exact sums and products of doubles as floating-point expansions: sums of
// non-overlapping doubles, smallest first, whose exact total is the value
// (Shewchuk's arithmetic, with the rounding error of a product from fma).
// Valid while no product over- or underflows: callers keep their inputs in
// a range where none can.
#pragma once

#include <cmath>
#include <cstddef>

namespace ky::geometry::expansion {

// An expansion of up to N components.
template <std::size_t N>
struct Expansion {
    double c[N];
    std::size_t size = 0;

    double estimate() const
    {
        double s = 0.0;
        for (std::size_t i = 0; i < size; ++i) s += c[i];
        return s;
    }
    int sign() const
    {
        for (std::size_t i = size; i-- > 0;)
            if (c[i] != 0.0) return c[i] > 0.0 ? 1 : -1;
        return 0;
    }
};

inline void twoSum(double a, double b, double& s, double& e)
{
    s = a + b;
    const double bv = s - a, av = s - bv;
    e = (a - av) + (b - bv);
}

// a - b exactly, as two components.
inline Expansion<2> difference(double a, double b)
{
    Expansion<2> r;
    double s, e;
    twoSum(a, -b, s, e);
    if (e != 0.0) r.c[r.size++] = e;
    if (s != 0.0) r.c[r.size++] = s;
    return r;
}

inline Expansion<1> single(double a)
{
    Expansion<1> r;
    if (a != 0.0) r.c[r.size++] = a;
    return r;
}

// e + f (fast expansion sum with zero elimination).
template <std::size_t A, std::size_t B>
Expansion<A + B> add(const Expansion<A>& e, const Expansion<B>& f)
{
    Expansion<A + B> h;
    if (e.size == 0) {
        for (std::size_t i = 0; i < f.size; ++i) h.c[i] = f.c[i];
        h.size = f.size;
        return h;
    }
    if (f.size == 0) {
        for (std::size_t i = 0; i < e.size; ++i) h.c[i] = e.c[i];
        h.size = e.size;
        return h;
    }
    // Merge by magnitude, then sum with two-sums.
    double merged[A + B];
    std::size_t i = 0, j = 0, k = 0;
    while (i < e.size && j < f.size) merged[k++] = std::fabs(e.c[i]) < std::fabs(f.c[j]) ? e.c[i++] : f.c[j++];
    while (i < e.size) merged[k++] = e.c[i++];
    while (j < f.size) merged[k++] = f.c[j++];
    double q = merged[0];
    for (std::size_t m = 1; m < k; ++m) {
        double s, err;
        twoSum(q, merged[m], s, err);
        if (err != 0.0) h.c[h.size++] = err;
        q = s;
    }
    if (q != 0.0 || h.size == 0) h.c[h.size++] = q;
    return h;
}

template <std::size_t A>
Expansion<A> negate(Expansion<A> e)
{
    for (std::size_t i = 0; i < e.size; ++i) e.c[i] = -e.c[i];
    return e;
}

// e * b for a double b.
template <std::size_t A>
Expansion<2 * A> scale(const Expansion<A>& e, double b)
{
    Expansion<2 * A> h;
    if (e.size == 0 || b == 0.0) return h;
    double q = e.c[0] * b;
    double low = std::fma(e.c[0], b, -q);
    if (low != 0.0) h.c[h.size++] = low;
    for (std::size_t i = 1; i < e.size; ++i) {
        const double p = e.c[i] * b, pl = std::fma(e.c[i], b, -p);
        double s, err;
        twoSum(q, pl, s, err);
        if (err != 0.0) h.c[h.size++] = err;
        double t;
        twoSum(p, s, t, err);  // |p| >= |s| is not needed by twoSum
        if (err != 0.0) h.c[h.size++] = err;
        q = t;
    }
    if (q != 0.0) h.c[h.size++] = q;
    return h;
}

// e * f.
template <std::size_t A, std::size_t B>
Expansion<2 * A * B> multiply(const Expansion<A>& e, const Expansion<B>& f)
{
    Expansion<2 * A * B> total;
    for (std::size_t i = 0; i < f.size; ++i) {
        const Expansion<2 * A> part = scale(e, f.c[i]);
        const Expansion<2 * A * B + 2 * A> sum = add(total, part);
        for (std::size_t k = 0; k < sum.size; ++k) total.c[k] = sum.c[k];
        total.size = sum.size;
    }
    return total;
}

// The same value in as few components as two passes of two-sums leave
// (Shewchuk's compression): later products and sums stay short.
template <std::size_t A>
Expansion<A> compress(const Expansion<A>& e)
{
    if (e.size < 2) return e;
    double g[A];
    std::size_t bottom = e.size - 1;
    double q = e.c[e.size - 1];
    for (std::size_t i = e.size - 1; i-- > 0;) {
        double s, err;
        twoSum(q, e.c[i], s, err);
        if (err != 0.0) {
            g[bottom--] = s;
            q = err;
        } else {
            q = s;
        }
    }
    g[bottom] = q;
    Expansion<A> h;
    for (std::size_t i = bottom + 1; i < e.size; ++i) {
        double s, err;
        twoSum(g[i], q, s, err);
        if (err != 0.0) h.c[h.size++] = err;
        q = s;
    }
    h.c[h.size++] = q;
    return h;
}

}  // namespace ky::geometry::expansion

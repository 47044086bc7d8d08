// SPDX-License-Identifier: BSD-2-Clause
#include "colorspace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "settings.h"

// The sRGB companding undone, on a value 0..1.
static double expanded(double c)
{
    if (c <= 0.04045)
        return c / 12.92;
    return std::pow((c + 0.055) / 1.055, 2.4);
}

double srgb_to_linear(int component)
{
    return expanded(component / 255.0);
}

static double exact_cube_root(double t)
{
    return std::pow(t, 0.3333333333333333);
}

// CIELAB's companding; the threshold is (6/29)^3, the slope (29/6)^2/3, the offset 4/29.
template <double (*cube_root_of)(double)> static double lab_f(double t)
{
    if (t > 0.008856451679035631)
        return cube_root_of(t);
    return 7.787037037037037 * t + 0.13793103448275862;
}

namespace {

// srgb_to_linear of every component, worked out once: the same values, without a
// power per component per pixel.
struct linear_table {
    double value[256];
    linear_table()
    {
        for (int c = 0; c < 256; ++c)
            value[c] = srgb_to_linear(c);
    }
};

// The cube root on each of 256 slices of [2^-7, 2), the only inputs above the
// companding threshold: the slice's root times a series in t / centre - 1, which is
// at most 2^-6 in size. No power per component, and within lab_estimate_error.
struct cube_root_table {
    static constexpr int slice_bits = 5;
    static constexpr int lowest_exponent = -7;
    double inverse_centre[256], root[256];
    cube_root_table()
    {
        for (int i = 0; i < 256; ++i) {
            int exponent = lowest_exponent + (i >> slice_bits);
            double width = std::ldexp(1.0, exponent - slice_bits);
            double centre = std::ldexp(1.0, exponent) + ((i & 31) + 0.5) * width;
            inverse_centre[i] = 1 / centre;
            root[i] = std::cbrt(centre);
        }
    }
    double operator()(double t) const
    {
        std::uint64_t bits;
        std::memcpy(&bits, &t, sizeof bits);
        int exponent = static_cast<int>(bits >> 52) - 1023;
        if (exponent < lowest_exponent || exponent > 0)
            return exact_cube_root(t);
        std::size_t i = static_cast<std::size_t>(exponent - lowest_exponent) << slice_bits |
                        static_cast<std::size_t>(bits >> (52 - slice_bits) & 31);
        double d = t * inverse_centre[i] - 1;
        // (1 + d)^(1/3) to the term in d^6; the next one is below 5e-15.
        double series = -154.0 / 6561;
        series = series * d + 22.0 / 729;
        series = series * d - 10.0 / 243;
        series = series * d + 5.0 / 81;
        series = series * d - 1.0 / 9;
        series = series * d + 1.0 / 3;
        return root[i] * (1 + series * d);
    }
};

// Where rounding to each component ends: the linear value halfway to the next one; and
// for each of 4096 equal slices of 0..1 the first component that can round there, so
// that a search from it takes a step or two.
struct rounding_table {
    static constexpr int slices = 4096;
    double end[255];
    unsigned char first[slices + 1];
    rounding_table()
    {
        for (int c = 0; c < 255; ++c)
            end[c] = expanded((c + 0.5) / 255);
        for (int i = 0; i <= slices; ++i)
            first[i] = static_cast<unsigned char>(
                std::upper_bound(end, end + 255, double(i) / slices) - end);
    }
    int operator()(double value) const
    {
        int c = first[static_cast<int>(value * slices)];
        while (c < 255 && end[c] <= value)
            ++c;
        return c;
    }
};

const linear_table linear;
const cube_root_table cube_roots;
const rounding_table rounding;

double estimated_cube_root(double t)
{
    return cube_roots(t);
}

}  // namespace

double linear_component(int component)
{
    return linear.value[component];
}

int component_from_linear(double value)
{
    return rounding(value);
}

template <double (*f)(double)> static color_point lab_with(int red, int green, int blue)
{
    double r = linear.value[red];
    double g = linear.value[green];
    double b = linear.value[blue];
    // D65 white: Xn = 0.95047, Yn = 1, Zn = 1.08883.
    double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    double y = 0.2126729 * r + 0.7151522 * g + 0.072175 * b;
    double z = (0.0193339 * r + 0.119192 * g + 0.9503041 * b) / 1.08883;
    double fx = f(x);
    double fy = f(y);
    double fz = f(z);
    return {116 * fy - 16, 500 * (fx - fy) * chroma_weight, 200 * (fy - fz) * chroma_weight};
}

color_point lab_from_srgb(int red, int green, int blue)
{
    return lab_with<lab_f<exact_cube_root>>(red, green, blue);
}

color_point lab_estimate_from_srgb(int red, int green, int blue)
{
    return lab_with<lab_f<estimated_cube_root>>(red, green, blue);
}

color_point yiq_from_srgb(int red, int green, int blue)
{
    double r = red / 255.0;
    double g = green / 255.0;
    double b = blue / 255.0;
    return {0.299 * r + 0.587 * g + 0.114 * b,
            (0.595716 * r - 0.274453 * g - 0.321263 * b) * chroma_weight,
            (0.211456 * r - 0.522591 * g + 0.311135 * b) * chroma_weight};
}

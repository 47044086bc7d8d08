#include "colorspace.h"

#include <cmath>

#include "settings.h"

double srgb_to_linear(int component)
{
    double c = component / 255.0;
    if (c <= 0.04045)
        return c / 12.92;
    return std::pow((c + 0.055) / 1.055, 2.4);
}

// CIELAB's companding; the threshold is (6/29)^3, the slope (29/6)^2/3, the offset 4/29.
static double lab_f(double t)
{
    if (t > 0.008856451679035631)
        return std::pow(t, 0.3333333333333333);
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

const linear_table linear;

}  // namespace

color_point lab_from_srgb(int red, int green, int blue)
{
    double r = linear.value[red];
    double g = linear.value[green];
    double b = linear.value[blue];
    // D65 white: Xn = 0.95047, Yn = 1, Zn = 1.08883.
    double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    double y = 0.2126729 * r + 0.7151522 * g + 0.072175 * b;
    double z = (0.0193339 * r + 0.119192 * g + 0.9503041 * b) / 1.08883;
    double fx = lab_f(x);
    double fy = lab_f(y);
    double fz = lab_f(z);
    return {116 * fy - 16, 500 * (fx - fy) * chroma_weight, 200 * (fy - fz) * chroma_weight};
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

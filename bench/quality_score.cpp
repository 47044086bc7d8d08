// SPDX-License-Identifier: BSD-2-Clause
#include "quality_score.h"

#include <cmath>

#include "cells.h"
#include "colorspace.h"
#include "palette.h"

namespace {

constexpr double pi = 3.14159265358979323846;

double degrees(double radians)
{
    return radians * 180 / pi;
}

double radians(double degrees)
{
    return degrees * pi / 180;
}

double hue(double a, double b)
{
    if (a == 0 && b == 0)
        return 0;
    double h = degrees(std::atan2(b, a));
    return h < 0 ? h + 360 : h;
}

double to_linear(double companded)
{
    return companded <= 0.04045 ? companded / 12.92 : std::pow((companded + 0.055) / 1.055, 2.4);
}

// CIELAB of a linear-light colour, D65.
void lab(const linear_rgb &c, double &l, double &a, double &b)
{
    double x = (0.4124564 * c.r + 0.3575761 * c.g + 0.1804375 * c.b) / 0.95047;
    double y = 0.2126729 * c.r + 0.7151522 * c.g + 0.0721750 * c.b;
    double z = (0.0193339 * c.r + 0.1191920 * c.g + 0.9503041 * c.b) / 1.08883;
    auto f = [](double t) {
        return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
    };
    l = 116 * f(y) - 16;
    a = 500 * (f(x) - f(y));
    b = 200 * (f(y) - f(z));
}

}  // namespace

// Sharma, Wu and Dalal's formulation, with kL = kC = kH = 1.
double ciede2000(double l1, double a1, double b1, double l2, double a2, double b2)
{
    double c_mean = (std::hypot(a1, b1) + std::hypot(a2, b2)) / 2;
    double c7 = std::pow(c_mean, 7);
    double g = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
    double ap1 = (1 + g) * a1, ap2 = (1 + g) * a2;
    double cp1 = std::hypot(ap1, b1), cp2 = std::hypot(ap2, b2);
    double hp1 = hue(ap1, b1), hp2 = hue(ap2, b2);
    double dl = l2 - l1, dc = cp2 - cp1;
    double dh = 0;
    if (cp1 * cp2 != 0) {
        dh = hp2 - hp1;
        dh = dh > 180 ? dh - 360 : dh < -180 ? dh + 360 : dh;
    }
    double dhh = 2 * std::sqrt(cp1 * cp2) * std::sin(radians(dh / 2));
    double lp = (l1 + l2) / 2, cp = (cp1 + cp2) / 2;
    double hp = hp1 + hp2;
    if (cp1 * cp2 != 0) {
        if (std::fabs(hp1 - hp2) <= 180)
            hp /= 2;
        else
            hp = hp < 360 ? (hp + 360) / 2 : (hp - 360) / 2;
    }
    double t = 1 - 0.17 * std::cos(radians(hp - 30)) + 0.24 * std::cos(radians(2 * hp)) +
               0.32 * std::cos(radians(3 * hp + 6)) - 0.20 * std::cos(radians(4 * hp - 63));
    double theta = 30 * std::exp(-std::pow((hp - 275) / 25, 2));
    double cp7 = std::pow(cp, 7);
    double rc = 2 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7)));
    double sl = 1 + 0.015 * (lp - 50) * (lp - 50) / std::sqrt(20 + (lp - 50) * (lp - 50));
    double sc = 1 + 0.045 * cp, sh = 1 + 0.015 * cp * t;
    double rt = -std::sin(radians(2 * theta)) * rc;
    double ql = dl / sl, qc = dc / sc, qh = dhh / sh;
    return std::sqrt(ql * ql + qc * qc + qh * qh + rt * qc * qh);
}

double mean_difference(const pixel_grid &shown, const pixel_grid &reference)
{
    double sum = 0;
    for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
        double l1, a1, b1, l2, a2, b2;
        lab(reference.pixels[i], l1, a1, b1);
        lab(shown.pixels[i], l2, a2, b2);
        sum += ciede2000(l1, a1, b1, l2, a2, b2);
    }
    return shown.pixels.empty() ? 0 : sum / static_cast<double>(shown.pixels.size());
}

static pixel_grid blur_once(const pixel_grid &grid, bool across)
{
    static const double weights[4] = {1, std::exp(-0.5), std::exp(-2.0), std::exp(-4.5)};
    pixel_grid out = grid;
    for (std::size_t y = 0; y < grid.height; ++y)
        for (std::size_t x = 0; x < grid.width; ++x) {
            linear_rgb sum{0, 0, 0};
            double total = 0;
            for (long d = -3; d <= 3; ++d) {
                long sx = static_cast<long>(x) + (across ? d : 0);
                long sy = static_cast<long>(y) + (across ? 0 : d);
                if (sx < 0 || sy < 0 || sx >= static_cast<long>(grid.width) ||
                    sy >= static_cast<long>(grid.height))
                    continue;
                double w = weights[std::labs(d)];
                const linear_rgb &p =
                    grid.at(static_cast<std::size_t>(sx), static_cast<std::size_t>(sy));
                sum.r += w * p.r, sum.g += w * p.g, sum.b += w * p.b;
                total += w;
            }
            out.at(x, y) = {sum.r / total, sum.g / total, sum.b / total};
        }
    return out;
}

pixel_grid blurred(const pixel_grid &grid)
{
    return blur_once(blur_once(grid, true), false);
}

// How much of source pixel i (of n) falls in the target span [t0, t1), in source units.
static double overlap(double t0, double t1, std::size_t i)
{
    double lo = std::fmax(t0, static_cast<double>(i)),
           hi = std::fmin(t1, static_cast<double>(i + 1));
    return hi > lo ? hi - lo : 0;
}

pixel_grid area_average(const std::vector<float> &rgba, std::size_t source_width,
                        std::size_t source_height, std::size_t width, std::size_t height)
{
    pixel_grid grid{width, height, std::vector<linear_rgb>(width * height)};
    double sx = static_cast<double>(source_width) / static_cast<double>(width);
    double sy = static_cast<double>(source_height) / static_cast<double>(height);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            double x0 = static_cast<double>(x) * sx, x1 = x0 + sx;
            double y0 = static_cast<double>(y) * sy, y1 = y0 + sy;
            linear_rgb sum{0, 0, 0};
            for (auto j = static_cast<std::size_t>(y0);
                 j < source_height && static_cast<double>(j) < y1; ++j)
                for (auto i = static_cast<std::size_t>(x0);
                     i < source_width && static_cast<double>(i) < x1; ++i) {
                    double w = overlap(x0, x1, i) * overlap(y0, y1, j);
                    const float *p = &rgba[4 * (j * source_width + i)];
                    double alpha = p[3];
                    sum.r += w * alpha * to_linear(p[0]);
                    sum.g += w * alpha * to_linear(p[1]);
                    sum.b += w * alpha * to_linear(p[2]);
                }
            double area = sx * sy;
            grid.at(x, y) = {sum.r / area, sum.g / area, sum.b / area};
        }
    return grid;
}

static linear_rgb palette_linear(long index)
{
    if (index < 16)  // the default colours, and what no search gives
        return {0, 0, 0};
    rgb_triple c = palette_rgb(static_cast<unsigned long>(index));
    return {to_linear(c.red / 255.0), to_linear(c.green / 255.0), to_linear(c.blue / 255.0)};
}

bool shown_grid(const std::string &output, std::size_t width, std::size_t height, pixel_grid &grid)
{
    parsed_output parsed = parse_cells(output);
    grid = {width, height, std::vector<linear_rgb>(width * height, linear_rgb{0, 0, 0})};
    for (std::size_t line = 0; line < parsed.lines.size() && 2 * line < height; ++line)
        for (std::size_t x = 0; x < parsed.lines[line].size() && x < width; ++x) {
            grid.at(x, 2 * line) = palette_linear(parsed.lines[line][x].upper);
            if (2 * line + 1 < height)
                grid.at(x, 2 * line + 1) = palette_linear(parsed.lines[line][x].lower);
        }
    return parsed.well_formed;
}

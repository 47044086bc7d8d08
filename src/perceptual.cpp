#include "perceptual.h"

#include <cmath>
#include <limits>
#include <new>

#include "palette.h"
#include "settings.h"

color_point *perceptual_table = nullptr;

// The terms of CIE94 that depend on the reference colour alone.
struct cie94_reference {
    color_point lab;
    double c1, sc, sh;
};

static cie94_reference make_reference(double l1, double a1, double b1)
{
    double c1 = std::sqrt(a1 * a1 + b1 * b1);
    return {{l1, a1, b1}, c1, 1 + 0.045 * c1, 1 + 0.015 * c1};
}

static double cie94_from(const cie94_reference &ref, const color_point &other)
{
    double c2 = std::sqrt(other.a * other.a + other.b * other.b);
    double dc = ref.c1 - c2;
    double dl = ref.lab.l - other.l;
    double da = ref.lab.a - other.a;
    double db = ref.lab.b - other.b;
    // Never negative in exact arithmetic; rounding can leave a residue below zero.
    double radicand = da * da + db * db - dc * dc;
    if (radicand < 0)
        radicand = 0;
    double dh = std::sqrt(radicand);
    double c_term = dc / ref.sc;
    double h_term = dh / ref.sh;
    return std::sqrt(dl * dl + c_term * c_term + h_term * h_term);
}

double cie94_distance(double l1, double a1, double b1, double l2, double a2, double b2)
{
    return cie94_from(make_reference(l1, a1, b1), {l2, a2, b2});
}

unsigned long nearest_cie94(int red, int green, int blue)
{
    color_point lab = lab_from_srgb(red, green, blue);
    cie94_reference ref = make_reference(lab.l, lab.a, lab.b);
    double best_distance = std::numeric_limits<double>::infinity();
    unsigned long best_index = 0;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
        double d = cie94_from(ref, perceptual_table[c]);
        if (d < best_distance) {
            best_distance = d;
            best_index = c;
        }
    }
    return best_index;
}

unsigned long nearest_yiq(int red, int green, int blue)
{
    color_point p = yiq_from_srgb(red, green, blue);
    double best_distance = std::numeric_limits<double>::infinity();
    unsigned long best_index = 0;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
        const color_point &q = perceptual_table[c];
        double dy = p.l - q.l;
        double di = p.a - q.a;
        double dq = p.b - q.b;
        double d = dy * dy + di * di + dq * dq;
        if (d < best_distance) {
            best_distance = d;
            best_index = c;
        }
    }
    return best_index;
}

bool build_perceptual_table()
{
    perceptual_table = new (std::nothrow) color_point[palette_size];
    if (!perceptual_table)
        return false;
    bool lab = matching_mode == match_mode::perceptive;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
        rgb_triple p = palette_rgb(c);
        perceptual_table[c] =
            lab ? lab_from_srgb(p.red, p.green, p.blue) : yiq_from_srgb(p.red, p.green, p.blue);
    }
    return true;
}

void release_perceptual_table()
{
    delete[] perceptual_table;
    perceptual_table = nullptr;
}

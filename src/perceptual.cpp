// SPDX-License-Identifier: BSD-2-Clause
#include "perceptual.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "palette.h"
#include "settings.h"

color_point *perceptual_table = nullptr;

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// The terms of CIE94 that depend on the reference colour alone.
struct cie94_reference {
    color_point lab;
    double c1, sc, sh;
};

cie94_reference make_reference(const color_point &lab)
{
    double c1 = std::sqrt(lab.a * lab.a + lab.b * lab.b);
    return {lab, c1, 1 + 0.045 * c1, 1 + 0.015 * c1};
}

double chroma_of(const color_point &p)
{
    return std::sqrt(p.a * p.a + p.b * p.b);
}

// Never negative in exact arithmetic; rounding can leave a residue below zero.
double hue_radicand(const cie94_reference &ref, const color_point &other, double dc)
{
    double da = ref.lab.a - other.a;
    double db = ref.lab.b - other.b;
    double radicand = da * da + db * db - dc * dc;
    return radicand < 0 ? 0 : radicand;
}

// c2 is the other colour's chroma, which the palette side has worked out once.
double cie94_from(const cie94_reference &ref, const color_point &other, double c2)
{
    double dc = ref.c1 - c2;
    double dl = ref.lab.l - other.l;
    double c_term = dc / ref.sc;
    double h_term = std::sqrt(hue_radicand(ref, other, dc)) / ref.sh;
    return std::sqrt(dl * dl + c_term * c_term + h_term * h_term);
}

// CIE94's squared sum with products for its two divisions and no square roots: within a
// few units in the last place of the true one. Only entries whose estimate is near the
// smallest estimate are worked out exactly.
struct cie94_estimate {
    cie94_reference ref;
    double inverse_sc, inverse_sh_squared;

    explicit cie94_estimate(const cie94_reference &r)
        : ref(r), inverse_sc(1 / r.sc), inverse_sh_squared(1 / (r.sh * r.sh))
    {
    }
    double sum(const color_point &q, double c2) const
    {
        double dl = ref.lab.l - q.l;
        double dc = ref.c1 - c2;
        double c_term = dc * inverse_sc;
        return dl * dl + c_term * c_term + hue_radicand(ref, q, dc) * inverse_sh_squared;
    }
};

double yiq_distance(const color_point &p, const color_point &q)
{
    double dy = p.l - q.l;
    double di = p.a - q.a;
    double dq = p.b - q.b;
    return dy * dy + di * di + dq * dq;
}

// The palette on a grid of lightness (luma) by a second key: chroma for CIE94, I for
// YIQ. A pixel's distance to its RGB match bounds how far in both keys an entry that
// beats it can lie, so a search looks only at the few cells within those bounds.
constexpr std::size_t candidates = palette_size - first_palette_colour;
constexpr std::size_t bands = 16;
struct palette_grid {
    double l[candidates], a[candidates], b[candidates], chroma[candidates];  // as columns
    unsigned long index[candidates];
    std::size_t start[bands * bands + 1];  // entries in cells before (band1, band2)
    double low[2], scale[2];
    double max_chroma;
} grid;
double palette_chroma[palette_size];

double second_key(const color_point &p, double chroma)
{
    return matching_mode == match_mode::perceptive ? chroma : p.a;
}

// Monotonic in the key, so an entry in a lower band than a value lies below it.
std::size_t band_of(int key, double value)
{
    double position = (value - grid.low[key]) * grid.scale[key];
    return position >= bands - 1 ? bands - 1
           : position > 0        ? static_cast<std::size_t>(position)
                                 : 0;
}

std::size_t cell_of(const color_point &p, double chroma)
{
    return band_of(0, p.l) * bands + band_of(1, second_key(p, chroma));
}

// Bands of equal width between the palette's smallest and largest value of each key.
void set_bands()
{
    for (int key = 0; key < 2; ++key) {
        double low = infinity, high = -infinity;
        for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
            const color_point &p = perceptual_table[c];
            double v = key == 0 ? p.l : second_key(p, palette_chroma[c]);
            low = std::min(low, v);
            high = std::max(high, v);
        }
        grid.low[key] = low;
        grid.scale[key] = high > low ? bands / (high - low) : 0;
    }
}

void build_grid()
{
    set_bands();
    std::size_t order[candidates];
    for (std::size_t i = 0; i < candidates; ++i)
        order[i] = first_palette_colour + i;
    auto cell = [](std::size_t c) { return cell_of(perceptual_table[c], palette_chroma[c]); };
    std::stable_sort(order, order + candidates,
                     [&](std::size_t x, std::size_t y) { return cell(x) < cell(y); });
    for (std::size_t i = 0; i < candidates; ++i) {
        grid.l[i] = perceptual_table[order[i]].l;
        grid.a[i] = perceptual_table[order[i]].a;
        grid.b[i] = perceptual_table[order[i]].b;
        grid.chroma[i] = palette_chroma[order[i]];
        grid.index[i] = order[i];
    }
    grid.max_chroma = *std::max_element(grid.chroma, grid.chroma + candidates);
    std::size_t i = 0;
    for (std::size_t k = 0; k <= bands * bands; ++k) {
        while (i < candidates && cell(grid.index[i]) < k)
            ++i;
        grid.start[k] = i;
    }
}

// The entries within radius of the pixel in both keys: one run of the grid's columns
// per lightness band. The radii are widened far beyond any rounding, so that no entry
// left out could have won.
struct run {
    std::size_t first, last;
};

std::size_t runs_near(double key1, double radius1, double key2, double radius2, run *runs)
{
    double r1 = radius1 * (1 + 1e-9) + 1e-9, r2 = radius2 * (1 + 1e-9) + 1e-9;
    std::size_t first2 = band_of(1, key2 - r2), last2 = band_of(1, key2 + r2);
    std::size_t count = 0;
    for (std::size_t b1 = band_of(0, key1 - r1); b1 <= band_of(0, key1 + r1); ++b1)
        runs[count++] = {grid.start[b1 * bands + first2], grid.start[b1 * bands + last2 + 1]};
    return count;
}

color_point entry(std::size_t i)
{
    return {grid.l[i], grid.a[i], grid.b[i]};
}

// Keeps the first smallest distance in index order, whatever order the entries come in:
// an equal distance wins by a lower index; one that is not a number never wins.
struct best_match {
    double distance = infinity;
    unsigned long index = 0;
    void offer(double d, unsigned long c)
    {
        if (d < distance || (d == distance && c < index)) {
            distance = d;
            index = c;
        }
    }
};

// Far wider than the estimate's error: an entry whose estimate is above the smallest by
// more than this cannot have the smallest true distance, nor an equal one.
constexpr double estimate_margin = 1e-9;

// The smallest of values over the runs, or +inf; a value that is not a number is passed over.
double smallest_in(const double *values, const run *runs, std::size_t count)
{
    double smallest = infinity;
    for (const run *r = runs; r != runs + count; ++r)
        for (std::size_t i = r->first; i < r->last; ++i)
            smallest = values[i] < smallest ? values[i] : smallest;
    return smallest;
}

}  // namespace

double cie94_distance(double l1, double a1, double b1, double l2, double a2, double b2)
{
    color_point other{l2, a2, b2};
    return cie94_from(make_reference({l1, a1, b1}), other, chroma_of(other));
}

// CIE94 is never below |dL|, nor below |dC| / SC, so an entry that beats the RGB match
// lies within that match's distance in lightness and within SC times it in chroma: the
// runs of such entries, with beyond added to the squared distance; no_runs when the
// distance is not finite.
constexpr std::size_t no_runs = bands + 1;
static std::size_t cie94_runs(const cie94_estimate &estimate, int red, int green, int blue,
                              double beyond, run *runs)
{
    const cie94_reference &ref = estimate.ref;
    unsigned long seed = nearest_rgb(red, green, blue);
    double radius = std::sqrt(estimate.sum(perceptual_table[seed], palette_chroma[seed]) + beyond);
    if (!std::isfinite(radius * ref.sc))
        return no_runs;
    return runs_near(ref.lab.l, radius, ref.c1, radius * ref.sc, runs);
}

static unsigned long exact_cie94(int red, int green, int blue)
{
    cie94_estimate estimate(make_reference(lab_from_srgb(red, green, blue)));
    const cie94_reference &ref = estimate.ref;
    run runs[bands];
    std::size_t count = cie94_runs(estimate, red, green, blue, 0, runs);
    if (count == no_runs)
        return nearest_cie94_reference(red, green, blue);
    double sums[candidates];
    for (const run *r = runs; r != runs + count; ++r)
        for (std::size_t i = r->first; i < r->last; ++i)
            sums[i] = estimate.sum(entry(i), grid.chroma[i]);
    double smallest = smallest_in(sums, runs, count);
    if (!std::isfinite(smallest))
        return nearest_cie94_reference(red, green, blue);
    best_match best;
    for (const run *r = runs; r != runs + count; ++r)
        for (std::size_t i = r->first; i < r->last; ++i)
            if (sums[i] <= smallest * (1 + estimate_margin))
                best.offer(cie94_from(ref, entry(i), grid.chroma[i]), grid.index[i]);
    return best.index;
}

// How far a squared CIE94 sum from the estimated Lab (lab_estimate_from_srgb) can lie
// from the exact Lab's, rounding of both included. The estimate moves L by at most
// eL = 116 e and the chroma plane by at most eC = 1.5 * 1000 e |weight|; with M
// bounding |dL|, |dC| and the chroma-plane distance for every entry, the sum moves by
// at most eL (2M + eL) for lightness, 2M (1 + 0.045M) eC + (1 + 0.045M)^2 eC^2 for
// the chroma term (its slope in C1 is at most 1 + 0.045 C2), and 4M eC + 2 eC^2 +
// 0.03 M^2 eC for the hue term (the slope of 1 / SH^2 is at most 0.03): below
// 7 (1 + M)^2 (eL + eC) while both are below 0.1. Taken as 8 times that, plus
// 1e-12 (1 + M)^2 for the rounding of both sums. 0 when no bound can be given.
static double estimate_error(const cie94_reference &ref)
{
    double e_l = 116 * lab_estimate_error;
    double e_c = 1500 * lab_estimate_error * std::fabs(chroma_weight);
    if (!(e_l + e_c <= 0.1))
        return 0;
    double m = 101 + ref.c1 + e_c + grid.max_chroma;
    return (1 + m) * (1 + m) * (8 * (e_l + e_c) + 1e-12);
}

// The answer from the estimated Lab when it is certain: the smallest sum beats every
// other entry by more than twice the estimate's error, both ways. palette_size when not.
static unsigned long certain_cie94(int red, int green, int blue)
{
    cie94_estimate estimate(make_reference(lab_estimate_from_srgb(red, green, blue)));
    double error = estimate_error(estimate.ref);
    if (!(error > 0))
        return palette_size;
    // Entries left out lie beyond the seed by more than twice the error too.
    run runs[bands];
    std::size_t count = cie94_runs(estimate, red, green, blue, 2 * error, runs);
    if (count == no_runs)
        return palette_size;
    double first = infinity, second = infinity;
    std::size_t at = 0;
    for (const run *r = runs; r != runs + count; ++r)
        for (std::size_t i = r->first; i < r->last; ++i) {
            double sum = estimate.sum(entry(i), grid.chroma[i]);
            if (sum < second) {
                second = sum < first ? first : sum;
                at = sum < first ? i : at;
                first = sum < first ? sum : first;
            }
        }
    return second - first > 2 * error ? grid.index[at] : palette_size;
}

unsigned long nearest_cie94(int red, int green, int blue)
{
    unsigned long index = certain_cie94(red, green, blue);
    return index != palette_size ? index : exact_cie94(red, green, blue);
}

// The squared YIQ distance is never below the squared difference in Y, nor in I.
unsigned long nearest_yiq(int red, int green, int blue)
{
    color_point p = yiq_from_srgb(red, green, blue);
    double radius = std::sqrt(yiq_distance(p, perceptual_table[nearest_rgb(red, green, blue)]));
    if (!std::isfinite(radius))
        return nearest_yiq_reference(red, green, blue);
    run runs[bands];
    std::size_t count = runs_near(p.l, radius, p.a, radius, runs);
    best_match best;
    for (const run *r = runs; r != runs + count; ++r)
        for (std::size_t i = r->first; i < r->last; ++i)
            best.offer(yiq_distance(p, entry(i)), grid.index[i]);
    if (!std::isfinite(best.distance))
        return nearest_yiq_reference(red, green, blue);
    return best.index;
}

// The plain loops the fast searches are checked against: every entry in index order,
// the first strictly smallest distance kept.
template <typename distance_to> static unsigned long first_nearest(distance_to distance)
{
    double best_distance = infinity;
    unsigned long best_index = 0;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
        double d = distance(perceptual_table[c]);
        if (d < best_distance) {
            best_distance = d;
            best_index = c;
        }
    }
    return best_index;
}

unsigned long nearest_cie94_reference(int red, int green, int blue)
{
    cie94_reference ref = make_reference(lab_from_srgb(red, green, blue));
    return first_nearest([&](const color_point &q) { return cie94_from(ref, q, chroma_of(q)); });
}

unsigned long nearest_yiq_reference(int red, int green, int blue)
{
    color_point p = yiq_from_srgb(red, green, blue);
    return first_nearest([&](const color_point &q) { return yiq_distance(p, q); });
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
        palette_chroma[c] = chroma_of(perceptual_table[c]);
    }
    build_grid();
    return true;
}

void release_perceptual_table()
{
    delete[] perceptual_table;
    perceptual_table = nullptr;
}

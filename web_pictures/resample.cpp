// The two passes of a separable filter, each driven by a table made once
// per output column or row: its first source pixel, its count and its
// weights, normalised to sum one and held as fixed-point integers.
#include "web_pictures/resample.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// Weights carry this many fraction bits: a sum of 8-bit values times
// weights whose magnitudes add up to well under 2 stays inside 31 bits.
constexpr int kFractionBits = 22;
constexpr double kSupport = 3.0;
constexpr double kPi = 3.14159265358979323846;

// sin(pi * x), by range reduction to [-1/2, 1/2] and its Taylor series:
// only additions, multiplications and divisions, which every system
// rounds alike, where the library's sin may differ in its last bit.
double sin_pi(double x)
{
    double whole = x < 0 ? -static_cast<double>(static_cast<long long>(-x + 0.5))
                         : static_cast<double>(static_cast<long long>(x + 0.5));
    double r = (x - whole) * kPi;
    double term = r, sum = r;
    for (int n = 1; n < 12; ++n) {
        term *= -r * r / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    bool odd = static_cast<long long>(whole < 0 ? -whole : whole) % 2 != 0;
    return odd ? -sum : sum;
}

double lanczos3(double x)
{
    if (x <= -kSupport || x >= kSupport)
        return 0.0;
    if (x > -1e-12 && x < 1e-12)
        return 1.0;
    return kSupport * sin_pi(x) * sin_pi(x / kSupport) / (kPi * kPi * x * x);
}

// Which source pixels make each output pixel, and how much.
struct Taps {
    std::vector<unsigned> first;       // per output pixel
    std::vector<unsigned> count;       // per output pixel
    std::vector<std::int32_t> weight;  // per output pixel, `most` of them, the unused ones zero
    unsigned most = 0;
};

Taps taps_for(unsigned from_size, unsigned to_size)
{
    const double scale = static_cast<double>(from_size) / to_size;
    const double filter_scale = scale > 1.0 ? scale : 1.0;
    const double support = kSupport * filter_scale;
    Taps taps;
    taps.most = static_cast<unsigned>(support * 2 + 2);
    taps.first.resize(to_size);
    taps.count.resize(to_size);
    taps.weight.assign(std::size_t{to_size} * taps.most, 0);
    std::vector<double> w(taps.most);
    for (unsigned out = 0; out < to_size; ++out) {
        const double centre = (out + 0.5) * scale;
        long long low = static_cast<long long>(centre - support + 0.5);
        long long high = static_cast<long long>(centre + support + 0.5);
        low = std::max(0LL, low);
        high = std::min<long long>(from_size, high);
        high = std::min<long long>(high, low + taps.most);
        double total = 0.0;
        for (long long i = low; i < high; ++i) {
            w[i - low] = lanczos3((i + 0.5 - centre) / filter_scale);
            total += w[i - low];
        }
        taps.first[out] = static_cast<unsigned>(low);
        taps.count[out] = static_cast<unsigned>(high - low);
        std::int32_t* fixed = &taps.weight[std::size_t{out} * taps.most];
        for (long long i = 0; i < high - low; ++i) {
            double v = total != 0.0 ? w[i] / total : 0.0;
            double scaled = v * (1 << kFractionBits);
            fixed[i] = static_cast<std::int32_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
        }
    }
    return taps;
}

unsigned char clamp_to_byte(std::int32_t sum)
{
    // Rounded by the half added before the shift.
    std::int32_t v = (sum + (1 << (kFractionBits - 1))) >> kFractionBits;
    return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Along each row: from is from_width wide, to is taps' size wide.
void pass_along_rows(const unsigned char* from, unsigned from_width, unsigned rows, const Taps& taps,
                     unsigned to_width, unsigned char* to)
{
    for (unsigned y = 0; y < rows; ++y) {
        const unsigned char* row = from + std::size_t{y} * from_width * 3;
        unsigned char* out = to + std::size_t{y} * to_width * 3;
        for (unsigned x = 0; x < to_width; ++x) {
            const std::int32_t* w = &taps.weight[std::size_t{x} * taps.most];
            const unsigned char* p = row + std::size_t{taps.first[x]} * 3;
            std::int32_t r = 0, g = 0, b = 0;
            for (unsigned k = 0; k < taps.count[x]; ++k, p += 3) {
                r += p[0] * w[k];
                g += p[1] * w[k];
                b += p[2] * w[k];
            }
            out[x * 3] = clamp_to_byte(r);
            out[x * 3 + 1] = clamp_to_byte(g);
            out[x * 3 + 2] = clamp_to_byte(b);
        }
    }
}

// Down the columns, a whole row at a time: row_bytes wide.
void pass_down_columns(const unsigned char* from, std::size_t row_bytes, const Taps& taps, unsigned to_height,
                       unsigned char* to)
{
    std::vector<std::int32_t> sums(row_bytes);
    for (unsigned y = 0; y < to_height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const std::int32_t* w = &taps.weight[std::size_t{y} * taps.most];
        for (unsigned k = 0; k < taps.count[y]; ++k) {
            const unsigned char* row = from + (std::size_t{taps.first[y]} + k) * row_bytes;
            const std::int32_t weight = w[k];
            for (std::size_t i = 0; i < row_bytes; ++i)
                sums[i] += row[i] * weight;
        }
        unsigned char* out = to + std::size_t{y} * row_bytes;
        for (std::size_t i = 0; i < row_bytes; ++i)
            out[i] = clamp_to_byte(sums[i]);
    }
}

}  // namespace

Pixels resample_lanczos3(const Pixels& from, unsigned width, unsigned height)
{
    // Down the columns first, over whole rows, which the compiler turns
    // into vector code; then along the rows, now fewer.
    Pixels down;
    down.width = from.width;
    down.height = height;
    down.rgb.resize(std::size_t{from.width} * height * 3);
    pass_down_columns(from.rgb.data(), std::size_t{from.width} * 3, taps_for(from.height, height), height,
                      down.rgb.data());
    Pixels to;
    to.width = width;
    to.height = height;
    to.rgb.resize(std::size_t{width} * height * 3);
    pass_along_rows(down.rgb.data(), from.width, height, taps_for(from.width, width), width, to.rgb.data());
    return to;
}

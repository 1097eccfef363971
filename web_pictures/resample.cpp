// The two passes of a separable filter, each driven by a table made once
// per output column or row: its first source pixel, its count and its
// weights, normalised to sum one and held as fixed-point integers.
#include "web_pictures/resample.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "web_pictures/upright.h"

namespace {

// EXIF's orientation 5: mirrored along the diagonal, rows become columns.
constexpr int kOverTheDiagonal = 5;

// Weights carry this many fraction bits, as 16-bit integers, so that each
// multiply-add of a pixel and a weight is one of the processor's vector
// lanes of 16 bits widened to 32: a sum of 8-bit values times weights
// whose magnitudes add up to well under 2 stays inside 31 bits.
constexpr int kFractionBits = 14;
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
    std::vector<std::int16_t> weight;  // per output pixel, `most` of them, the unused ones zero
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
        // Rounded each, then the largest set so that they sum to exactly
        // one: a plain colour stays that colour.
        std::int16_t* fixed = &taps.weight[std::size_t{out} * taps.most];
        std::int32_t sum = 0;
        long long largest = 0;
        for (long long i = 0; i < high - low; ++i) {
            double v = total != 0.0 ? w[i] / total : 0.0;
            double scaled = v * (1 << kFractionBits);
            fixed[i] = static_cast<std::int16_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
            sum += fixed[i];
            largest = fixed[i] > fixed[largest] ? i : largest;
        }
        if (high > low)
            fixed[largest] = static_cast<std::int16_t>(fixed[largest] + ((1 << kFractionBits) - sum));
    }
    return taps;
}

// One row out of the pass down the columns: the sum of count rows from
// rows on, row_bytes apart, each times its weight, rounded and clamped to a
// byte. Where the processor has SSE2 (every x86-64), sixteen bytes at a
// time, two rows a step, each byte paired with its weight in one
// 16-by-16-bit multiply-add, the sums kept in registers until the bytes
// are stored: the same sums, exactly, as the plain loop that ends the row.
void row_down(const unsigned char* rows, std::size_t row_bytes, const std::int16_t* w, unsigned count,
              unsigned char* out)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(1 << (kFractionBits - 1));
    for (; i + 16 <= row_bytes; i += 16) {
        __m128i s0 = half, s1 = half, s2 = half, s3 = half;
        const unsigned char* p = rows + i;
        for (unsigned k = 0; k < count; k += 2, p += 2 * row_bytes) {
            const bool pair = k + 1 < count;
            const std::uint32_t w1 = pair ? static_cast<std::uint16_t>(w[k + 1]) : 0;
            const __m128i weights = _mm_set1_epi32(static_cast<int>(static_cast<std::uint16_t>(w[k]) | w1 << 16));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + row_bytes)) : zero;
            const __m128i low = _mm_unpacklo_epi8(a, b), high = _mm_unpackhi_epi8(a, b);
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), weights));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), weights));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), weights));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), weights));
        }
        const __m128i first =
            _mm_packs_epi32(_mm_srai_epi32(s0, kFractionBits), _mm_srai_epi32(s1, kFractionBits));
        const __m128i second =
            _mm_packs_epi32(_mm_srai_epi32(s2, kFractionBits), _mm_srai_epi32(s3, kFractionBits));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(first, second));
    }
#endif
    for (; i < row_bytes; ++i) {
        std::int32_t sum = 1 << (kFractionBits - 1);
        for (unsigned k = 0; k < count; ++k)
            sum += rows[k * row_bytes + i] * w[k];
        const std::int32_t v = sum >> kFractionBits;
        out[i] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

// Down the columns, a whole row at a time: row_bytes wide.
void pass_down_columns(const unsigned char* from, std::size_t row_bytes, const Taps& taps, unsigned to_height,
                       unsigned char* to)
{
    for (unsigned y = 0; y < to_height; ++y)
        row_down(from + std::size_t{taps.first[y]} * row_bytes, row_bytes,
                 &taps.weight[std::size_t{y} * taps.most], taps.count[y], to + std::size_t{y} * row_bytes);
}

// Down the columns of from, to height rows.
Pixels down_columns(const Pixels& from, unsigned height)
{
    Pixels to;
    to.width = from.width;
    to.height = height;
    to.rgb.resize(std::size_t{from.width} * height * 3);
    pass_down_columns(from.rgb.data(), std::size_t{from.width} * 3, taps_for(from.height, height), height,
                      to.rgb.data());
    return to;
}

// The picture turned over its diagonal, so that a pass down its columns
// is one along the rows of the picture before.
Pixels turned_over(const Pixels& from)
{
    return turn_upright(from, kOverTheDiagonal);
}

}  // namespace

Pixels resample_lanczos3(const Pixels& from, unsigned width, unsigned height)
{
    // Down the columns first, over whole rows; then along the rows, now
    // fewer: both passes in vector code.
    return turned_over(down_columns(turned_over(down_columns(from, height)), width));
}

void resample_lanczos3_in_place(Pixels& pixels, unsigned width, unsigned height)
{
    // Each buffer freed as soon as the next is made from it: at most two
    // are held at once.
    Pixels first = down_columns(pixels, height);
    pixels = Pixels();
    const Pixels turned = turned_over(first);
    first = Pixels();
    pixels = turned_over(down_columns(turned, width));
}

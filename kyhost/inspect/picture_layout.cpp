#include "picture_layout.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

namespace ky::inspect {

namespace {

double clampFinite(double value) { return std::clamp(value, -DBL_MAX, DBL_MAX); }

}  // namespace

DataFrame::DataFrame(double minX, double maxX, double minY, double maxY)
{
    centreX_ = minX / 2 + maxX / 2;
    centreY_ = minY / 2 + maxY / 2;
    half_ = std::max(maxX / 2 - minX / 2, maxY / 2 - minY / 2) * 1.05;  // a little room at the edges
    if (!(half_ > 0)) {  // one point, or nothing at all: a box around it
        half_ = std::max(std::abs(centreX_), std::abs(centreY_)) / 2;
        if (!(half_ > 0)) half_ = 1;
    }
    lowX_ = clampFinite(centreX_ - half_);
    highX_ = clampFinite(centreX_ + half_);
    lowY_ = clampFinite(centreY_ - half_);
    highY_ = clampFinite(centreY_ + half_);
}

double DataFrame::pageX(double x) const
{
    const double unit = (x / 2 - centreX_ / 2) / (half_ / 2);  // -1 .. 1 across the plot
    return PageLayout::plotLeft + PageLayout::plotSide / 2 * (1 + unit);
}

double DataFrame::pageY(double y) const
{
    const double unit = (y / 2 - centreY_ / 2) / (half_ / 2);
    return PageLayout::plotTop + PageLayout::plotSide / 2 * (1 - unit);  // y upward on the page
}

std::vector<Tick> axisTicks(double low, double high)
{
    std::vector<Tick> ticks;
    const double raw = (high / 2 - low / 2) / 2.5;  // about five steps across
    if (!(raw > 0) || !std::isfinite(raw)) return ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    const double step = (fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10) * power;
    if (!(step > 0) || !std::isfinite(step)) return ticks;
    const double first = std::ceil(low / step), last = std::floor(high / step);
    if (!std::isfinite(first) || !std::isfinite(last) || last - first > 20 || last < first) return ticks;
    const double largest = std::max(std::abs(low), std::abs(high));
    const int digits = std::clamp(static_cast<int>(std::ceil(std::log10(largest / step))) + 1, 1, 17);
    for (double k = first; k <= last; ++k) {
        const double value = k * step + 0.0;  // never -0
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        ticks.push_back({value, text});
    }
    return ticks;
}

}  // namespace ky::inspect

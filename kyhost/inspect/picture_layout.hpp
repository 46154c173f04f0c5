// Where things go on the picture: the plot square, the map from the data's
// coordinates onto it (one scale for both axes, so shapes keep their
// proportions), and axis ticks at round values of the data's coordinates.
#pragma once

#include <string>
#include <vector>

namespace ky::inspect {

// Page layout in picture units (pixels of an SVG; a PNG multiplies them).
struct PageLayout {
    static constexpr double width = 1200, height = 880;
    static constexpr double plotLeft = 110, plotTop = 70, plotSide = 740;
    static constexpr double legendLeft = plotLeft + plotSide + 25;
};

// Maps data coordinates into the plot square. Built from the bounding box
// of everything drawn; works for any finite coordinates, 1e-300 and 1e300
// alike (halves are taken before differences so that nothing overflows).
class DataFrame {
public:
    DataFrame(double minX, double maxX, double minY, double maxY);
    double pageX(double x) const;
    double pageY(double y) const;
    // Visible data range of each axis.
    double lowX() const { return lowX_; }
    double highX() const { return highX_; }
    double lowY() const { return lowY_; }
    double highY() const { return highY_; }

private:
    double centreX_, centreY_, half_;
    double lowX_, highX_, lowY_, highY_;
};

struct Tick {
    double value;
    std::string label;
};

// Round values (1, 2 or 5 times a power of ten) inside [low, high], about
// five of them, labelled with just enough digits to tell them apart.
std::vector<Tick> axisTicks(double low, double high);

}  // namespace ky::inspect

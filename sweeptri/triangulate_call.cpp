#include "triangulate_call.hpp"

#include <cstdint>
#include <cstring>

#include "certified_sweep.hpp"
#include "coordinate_scaling.hpp"
#include "host_services.hpp"
#include "record_pool.hpp"
#include "site_order.hpp"
#include "sweep_blocks.hpp"
#include "sweep_driver.hpp"
#include "sweep_state.hpp"
#include "triangle_buffer.hpp"

namespace sweeptri {

namespace {

std::int64_t elementCount(const kyArray* array)
{
    return static_cast<std::int64_t>(kyGetN(array)) * kyGetM(array);
}

bool isRealDouble(const kyArray* array) { return !kyIsChar(array) && !kyIsUint8(array) && !kyIsSparse(array); }

bool isSortedOption(const kyArray* option)
{
    if (!kyIsChar(option)) return false;
    char text[7];
    if (kyGetString(option, text, sizeof text) != 0) return false;
    return std::strcmp(text, "sorted") == 0;
}

// Smallest and largest x over all sites; y extents from the sweep order.
void computeExtents()
{
    minX = siteArray[0].x;
    maxX = siteArray[0].x;
    for (std::int32_t i = 1; i < siteCount; ++i) {
        if (siteArray[i].x < minX) minX = siteArray[i].x;
        if (siteArray[i].x > maxX) maxX = siteArray[i].x;
    }
    minY = siteArray[0].y;
    maxY = siteArray[siteCount - 1].y;
}

}  // namespace

void sweepSiteArray()
{
    computeExtents();
    readPosition = 0;
    sweepSetup();
    runSweep(nextSite);
}

void triangulateCall(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    collinearWarned = false;
    if (inputCount != 2 && inputCount != 3) kyxErrMsgTxt("Wrong number of input parameters.");
    if (outputCount > 1) kyxErrMsgTxt("Too many output arguments.");

    const kyArray* xArray = inputs[0];
    const kyArray* yArray = inputs[1];
    const std::int64_t n = elementCount(xArray);
    if (n != elementCount(yArray)) kyxErrMsgTxt("X and Y must be the same size.");
    // Anything but a full real double array would be read past its storage.
    if (!isRealDouble(xArray) || !isRealDouble(yArray)) kyxErrMsgTxt("X and Y must be real double arrays.");

    sortedOption = false;
    if (inputCount == 3) {
        if (!isSortedOption(inputs[2])) kyxErrMsgTxt("Third input parameter must be the string 'sorted'");
        sortedOption = true;
    }

    triangleCount = 0;
    if (n == 0) {
        outputs[0] = kyCreateDoubleMatrix(0, 3, kyREAL);
        return;
    }
    if (n > maxSiteCount) kyxErrMsgTxt("Too many points: the triangle matrix would exceed the largest array size.");

    siteCount = static_cast<std::int32_t>(n);
    triangleCapacity = 2 * siteCount + 100;
    initPool(sitePool, sizeof(Site));

    const double* x = kyGetPr(xArray);
    const double* y = kyGetPr(yArray);
    // NaN breaks the ordering of the sites and infinities the geometry.
    if (!allFinite(x, n) || !allFinite(y, n)) kyxErrMsgTxt("X and Y must contain only finite values.");
    // Points out of order would be swept as given, and the sweep would
    // return a wrong triangulation as a success.
    if (sortedOption && !inSweepOrder(x, y, n))
        kyxErrMsgTxt("Points are not sorted: with 'sorted', Y must ascend, and X within equal Y.");

    forgetSweepBlocks();
    siteArray = static_cast<Site*>(takeSweepBlock(static_cast<std::size_t>(n) * sizeof(Site)));
    if (sortedOption)
        copySites(x, y, siteArray, siteCount);
    else
        orderSites(x, y, siteArray, siteCount, triangleBufferBytes(triangleCapacity));
    if (findRepeatedSite(siteArray, siteCount) >= 0) kyxErrMsgTxt(repeatedPointsMessage);
    // Made right after the sort, the triangle matrix takes over the sort's
    // freed block, whose touched pages would otherwise stay cached beside it
    // for the whole sweep: a third less peak memory, and fewer fresh pages.
    outputs[0] = createTriangleBuffer(triangleCapacity);

    // Magnitudes that would over- or underflow the sweep's arithmetic are
    // moved into its safe range by one power of two; the rows stay the same.
    const int scaleExponent = siteScaleExponent(siteArray, siteCount);
    scaleSites(siteArray, siteCount, scaleExponent);
    sweepCertified(outputs[0], x, y, scaleExponent);
}

}  // namespace sweeptri

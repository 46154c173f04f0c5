#include "sweep_state.hpp"

namespace sweeptri {

bool collinearWarned = false;
bool sortedOption = false;
Site* siteArray = nullptr;
std::int32_t siteCount = 0;
std::int32_t readPosition = 0;
std::int32_t triangleCapacity = 0;
std::int32_t triangleCount = 0;
double* writePosition = nullptr;
double minX = 0, maxX = 0, minY = 0, maxY = 0;
std::int32_t sizeUnit = 0;
double spanX = 0, spanY = 0;

Site* nextSite()
{
    if (readPosition >= siteCount) return nullptr;
    return &siteArray[readPosition++];
}

}  // namespace sweeptri

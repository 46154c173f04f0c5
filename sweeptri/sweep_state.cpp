#include "sweep_state.hpp"

#include "call_state.hpp"

namespace sweeptri {

SWEEPTRI_CALL_STATE bool collinearWarned = false;
SWEEPTRI_CALL_STATE bool sortedOption = false;
SWEEPTRI_CALL_STATE Site* siteArray = nullptr;
SWEEPTRI_CALL_STATE std::int32_t siteCount = 0;
SWEEPTRI_CALL_STATE std::int32_t readPosition = 0;
SWEEPTRI_CALL_STATE std::int32_t triangleCapacity = 0;
SWEEPTRI_CALL_STATE std::int32_t triangleCount = 0;
SWEEPTRI_CALL_STATE double* writePosition = nullptr;
SWEEPTRI_CALL_STATE double minX = 0, maxX = 0, minY = 0, maxY = 0;
SWEEPTRI_CALL_STATE std::int32_t sizeUnit = 0;
SWEEPTRI_CALL_STATE double spanX = 0, spanY = 0;

Site* nextSite()
{
    if (readPosition >= siteCount) return nullptr;
    return &siteArray[readPosition++];
}

}  // namespace sweeptri

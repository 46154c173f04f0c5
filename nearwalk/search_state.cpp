#include "search_state.hpp"

namespace nearwalk {

SearchState searchState{};

}  // namespace nearwalk

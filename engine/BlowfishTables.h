#pragma once
#include <cstdint>

namespace kelpa::engine {

namespace blowfish_tables {
extern const std::uint32_t InitialP[18];
extern const std::uint32_t InitialS[4][256];
} // namespace blowfish_tables

} // namespace kelpa::engine

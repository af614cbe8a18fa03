// Gauge archive: the six members of data_horizon_rouleau.zip, assembled into one zip in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

// Member names as the gauge loads them: drum (id 0), mask (id 3), frame (id 1).
inline constexpr const char* kDrumMeshName = "horizon_rouleau.mesh";
inline constexpr const char* kDrumTextureName = "fond_rouleau.png";
inline constexpr const char* kMaskMeshName = "cache_rouleau.mesh";
inline constexpr const char* kMaskTextureName = "fond_cache_rouleau.png";
inline constexpr const char* kFrameMeshName = "cadre_rouleau.mesh";
inline constexpr const char* kFrameTextureName = "cadre_rouleau.png";

// Fills *zip with the whole archive and returns true, or sets *error and returns false.
bool BuildGaugeArchive(const std::string& fontPath, std::vector<std::uint8_t>* zip,
                       std::string* error);

} // namespace assetgen

// The engine set up once on an off-screen window for the terrain's fuzz targets and seeds, with the
// working directory in a private temporary folder that holds Grafik/ of the run folder.
#pragma once

class TerrainManager;

namespace fuzzing {

// Null when the engine cannot be set up. `runFolder` holds the generated data files.
TerrainManager* TerrainOnOffscreenEngine(const char* runFolder);

} // namespace fuzzing

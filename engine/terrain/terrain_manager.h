// The terrain singleton: a height-map terrain cut into patches of 4 x 4 cells, with texture sets per
// terrain type, editing, picking and the saved map image.
#pragma once

#include "core/velkora_api.h"

class VELKORA_API TerrainManager {
public:
    static TerrainManager* GetExemplar();
    virtual ~TerrainManager();

    bool GetTerrainPatch(int mouseX, int mouseY, int* patch);
    bool SetATCursorPos(int type, int patch);
    bool IncreaseTerrainPosition(int patch, int mode);

protected:
    TerrainManager();

private:
    static TerrainManager* Exemplar;

    int waterVertexBuffer;
    int waterIndexBuffer;
    bool created;
};

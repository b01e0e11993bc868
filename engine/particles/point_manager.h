// The particle manager: a singleton holding up to 1000 particle systems, the shared vertex buffer
// they are drawn from and the star texture, plus the preset builder and its parameter record.
#pragma once

#include "core/velkora_api.h"

class VELKORA_API PointManager {
public:
    static PointManager* GetExemplar();
    virtual ~PointManager();

protected:
    PointManager();

private:
    static PointManager* Exemplar;

    int starTextureId;
    int sharedVertexBufferId;
};

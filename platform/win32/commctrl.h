// The common-controls initialisation; the controls the program uses need none here.
#pragma once

void InitCommonControls();

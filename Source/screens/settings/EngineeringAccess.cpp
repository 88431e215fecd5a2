#include "Source/screens/settings/EngineeringAccess.h"

// Corners of the 800 x 480 screen, 80 pixels square: top left, top right,
// bottom right, bottom left, then top left and bottom right again.
const IxAccessRect g_EngineeringAccessGesture[7] = {
    {0, 0, 79, 79}, {720, 0, 799, 79},    {720, 400, 799, 479},    {0, 400, 79, 479},
    {0, 0, 79, 79}, {720, 400, 799, 479}, {kIxAccessEnd, 0, 0, 0},
};

BOOL RegisterEngineeringAccessGesture()
{
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->AddAccessGesture(g_EngineeringAccessGesture, kEngineeringModeViewId) : FALSE;
}

void RemoveEngineeringAccessGesture()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->RemoveAccessGesture(g_EngineeringAccessGesture);
}

// The program's entry point.

#include "VelmoraApp.h"

wxIMPLEMENT_APP(velmora::CVelmoraApp);

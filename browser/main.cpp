#include "browser/app.h"

wxIMPLEMENT_APP(brovin::CBrovinApp);

#include "manager/app.h"

wxIMPLEMENT_APP(CMorvaneApp);

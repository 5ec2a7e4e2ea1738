#include "transfer/app/transfer_app.h"

wxIMPLEMENT_APP(dravik::TransferApp);

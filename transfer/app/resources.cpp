#include "transfer/app/resources.h"

#include "common/ui/resources.h"
#include "common/ui/stock_images.h"

namespace dravik {

void RegisterResources() {
    ui::RegisterStrings({
        {IDS_SOCKET_INIT_FAILED, "Windows ｿｹｯﾄの初期化に失敗しました。"},
        {IDS_AUTO_TRANSFER, "拡張子別転送"},
        {IDS_ABORT_TIP, "転送を中断します。"},
        {IDS_CLOSE_TIP, "ウィンドウを閉じます。"},
    });
    ui::RegisterIcons({
        {IDR_MAINFRAME, "folder-remote", ui::kUploadXpm},
        {IDI_ABORT, "process-stop", ui::kStopXpm},
        {IDI_CLOSE, "window-close", ui::kStopXpm},
    });
}

}  // namespace dravik

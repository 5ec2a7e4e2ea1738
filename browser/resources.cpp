#include "browser/resources.h"

#include "common/walk/remote_listing.h"
#include "common/ui/resources.h"
#include "common/ui/stock_images.h"

namespace brovin {

void RegisterResources() {
    ui::RegisterStrings({
        {IDS_SOCKET_INIT_FAILED, "Windows ｿｹｯﾄの初期化に失敗しました。"},
        {IDS_APP_TITLE, "Brovin"},
        {IDS_IDLE, "操作待機中..."},
        {IDS_COLUMN_NAME, "名前"},
        {IDS_COLUMN_TYPE, "種類"},
        {IDS_COLUMN_DATE, "最終更新日"},
        {IDS_CONNECTING, "%1へ接続しています..."},
        {IDS_CANNOT_MOVE_STATUS, "%1へ移動できませんでした。"},
        {IDS_CAPTION_DIRECTORY, "現在のディレクトリ : %1 - Brovin"},
        {IDS_ALL_FILES_FILTER, "全てのファイル(*.*)|*.*||"},
        {IDS_RENAME_CLOSE_TIP, "名前を変更せず画面を閉じます。"},
        {IDS_RENAME_OK_TIP, "名前を変更します。"},
        {IDS_RENAME_PROMPT, "新しい名前を入力して変更ボタンを押してください。"},
        {IDS_MKDIR_PROMPT, "新しいディレクトリ名を入力してください。"},
        {IDS_MKDIR_OK_TIP, "ディレクトリを作成して画面を閉じます。"},
        {IDS_MKDIR_CLOSE_TIP, "ディレクトリを作成しないで画面を閉じます。"},
        {IDS_RENAME_OK, "変更(&U)"},
        {IDS_MKDIR_OK, "作成(&M)"},
        {IDS_CHOOSE_FOLDER, "ダウンロード先の選択"},
        {IDS_RENAME_TITLE, "名前変更"},
        {IDS_MKDIR_TITLE, "ディレクトリ作成"},
        {IDS_MOVING, "ディレクトリ移動中..."},
        {IDS_LISTING, "リモートディレクトリ構造取得中..."},
        {IDS_LISTED, "ディレクトリ構造取得完了"},
        {IDS_MAKING_DIRECTORY, "ディレクトリ - %1- を作成中..."},
        {IDS_MADE, "作成完了"},
        {IDS_RENAMING, "名前を -%1- へ変更中..."},
        {IDS_RENAMED, "変更完了"},
        {IDS_RENAME_DENIED, "%1へのアクセスは拒否されました"},
        {IDS_MAKING_LOCAL_FOLDERS, "コンピュータのフォルダを確認しています..."},
        {IDS_SEARCHING_REMOTE, "リモート側ファイル検索中..."},
        {IDS_PROCESSING, "%1を処理しています..."},
        {IDS_FAILED_CODE, "処理中にエラーが発生しました->終了コード(%1)"},
        {IDS_INTERNET_ERROR, "エラーが発生しました。->通知メッセージ(%1)"},
        {IDS_ALL_DONE, "全ファイル転送完了しました"},
        {IDS_CANNOT_MOVE, "%1へ移動できませんでした"},
        {IDS_SEARCHING_LOCAL, "コンピュータのファイルを検索中..."},
        {IDS_CREATING_REMOTE, "サーバへディレクトリ(%1)を作成中..."},
        {IDS_CANNOT_CREATE_REMOTE, "サーバへディレクトリ(%1)が作成できませんでした"},
        {IDS_DELETING, "%1を削除しています..."},
        {IDS_CONFIRM_DELETE, "選択されたファイルを削除しますか？"},
        {IDS_BAR_MOVE_UP, "上位ディレクトリへ移動"},
        {IDS_BAR_UPLOAD, "アップロード"},
        {IDS_BAR_DOWNLOAD, "ダウンロード"},
        {IDS_BAR_DOWNLOAD_TO, "指定先へダウンロード"},
        {IDS_BAR_RENAME, "名前変更"},
        {IDS_BAR_MAKE_DIRECTORY, "ディレクトリ作成"},
        {IDS_BAR_DELETE, "削除"},
        {IDS_ABORT_TIP, "転送を中断します。"},
        {IDS_UNSAFE_NAME, "%1 はフォルダの外を指す名前なので扱いません"},
        {IDS_CANNOT_ENTER, "%1 へ移動できないため、その中は扱いません"},
        {IDS_HELP_MISSING, "ヘルプ %1 が見つかりません"},
        {IDS_SKIPPED_COUNT, "%1 個の項目を処理できませんでした"},
        {IDS_LIST_FAILED, "%1 の一覧を取得できませんでした"},
        {IDS_CONNECT_FAILED, "%1へ接続できませんでした"},
        {IDS_RECONNECTING, "接続が切れていたため、%1へ再接続しています..."},
        {IDS_CONNECTION_LOST, "接続が切れ、再接続もできませんでした"},
        {IDS_MKDIR_FAILED, "ディレクトリ %1 を作成できませんでした"},
        {IDS_NAME_EMPTY, "名前が入力されていません"},
        {IDS_NAME_UNSENDABLE, "名前 %1 には改行または NUL 文字が含まれているため、サーバへ送れません"},
        {IDS_HELP_NO_BROWSER, "ヘルプ %1 を開けませんでした(ブラウザが見つかりません)"},
    });
    ui::RegisterIcons({
        {IDR_MAINFRAME, "folder-remote", ui::kUploadXpm},
        {IDI_OK, "dialog-ok", nullptr},
        {IDI_CLOSE, "window-close", ui::kStopXpm},
        {IDI_MAKE_DIRECTORY, "folder-new", nullptr},
        {IDI_MOVE_UP, "go-up", nullptr},
        {IDI_UPLOAD, "document-send", ui::kUploadXpm},
        {IDI_DOWNLOAD, "go-down", nullptr},
        {IDI_DELETE, "edit-delete", nullptr},
        {IDI_DOWNLOAD_TO, "document-save-as", nullptr},
        {IDI_RENAME, "edit-find-replace", nullptr},
    });
}

wxString FormatString(int id, const std::string& arg) {
    // Arguments carry the server's names and replies: bytes that are not UTF-8
    // would make the whole text empty, and a CR would break the line.
    if (id == IDS_TEXT) return wxString::FromUTF8(walk::ShownName(arg));
    wxString text = ui::LoadString(id);
    if (!arg.empty()) text.Replace("%1", wxString::FromUTF8(walk::ShownName(arg)));
    return text;
}

wxString FormatString(int id, const std::string& arg, const std::string& reason) {
    wxString text = FormatString(id, arg);
    if (!reason.empty()) text += " : " + wxString::FromUTF8(walk::ShownName(reason));
    return text;
}

}  // namespace brovin

#include "manager/resources.h"

#include "common/ui/resources.h"
#include "common/ui/stock_images.h"

namespace morvane {

void RegisterResources() {
    ui::RegisterStrings({
        {IDS_LINK_HOME_TIP, "Parvexホームページへジャンプします"},
        {IDS_LINK_MAIL_TIP, "作者へメールを送信します"},
        {IDS_APP_TITLE, "Lumeno"},
        {IDS_IDLE, "オペレーション待機中..."},
        {IDS_BAR_FOLDER, "プロバイダ設定"},
        {IDS_BAR_ADD, "プロバイダ追加"},
        {IDS_BAR_DELETE, "プロバイダ削除"},
        {IDS_BAR_PROPERTIES, "プロバイダプロパティ"},
        {IDS_TREE_ROOT, "設定プロバイダ一覧"},
        {IDS_COL_SERVER, "サーバアドレス"},
        {IDS_COL_USER, "ユーザ名"},
        {IDS_COL_ROOT, "移動先ディレクトリ"},
        {IDS_COL_ANONYMOUS, "匿名ログイン"},
        {IDS_COL_PORT, "接続ポート"},
        {IDS_VALUE_SERVER, "ServerAddr"},
        {IDS_VALUE_SERVER + 1, "UserName"},
        {IDS_VALUE_SERVER + 2, "Root"},
        {IDS_VALUE_SERVER + 3, "Anonymous"},
        {IDS_VALUE_SERVER + 4, "Port"},
        {IDS_BAR_OPTION, "オプション"},
        {IDS_AUTO_TRANSFER, "拡張子別転送"},
        {IDS_CONFIRM_DELETE, "%1の%2を削除します。よろしいですか？"},
        {IDS_REGISTER_MODULE, "parvex.so"},
        {IDS_REGISTER_TOOL, "regsvr32"},
        {IDS_TRANSFER_PROGRAM, "dravik"},
        {IDS_DEFAULT_TEXT_MODE, ".htm;.html;.txt;.cgi;.csv;"},
        {IDS_DEFAULT_BINARY_MODE, ".lzh;.zip;.exe;"},
        {IDS_CONVERT_FILTER, "テキスト形式(*.htm;*.html;*.txt;*.cgi;*.csv)|*.htm;*.html;*.txt;*.cgi;*.csv|"
                             "全てのファイル(*.*)|*.*||"},
        {IDS_BROWSE_TIP, "ファイル選択画面が表示されます。"},
        {IDS_START_TIP, "変換が開始されます。"},
        {IDS_CLOSE_TIP, "この画面を閉じます。"},
        {IDS_SAME_NAME, "同名ファイルです。変換後のファイル名を変更してください。"},
        {IDS_BROWSER_PROGRAM, "brovin"},
        {IDS_REGISTER_FAILED, "ファイルマネージャのメニューを登録できませんでした。"
                              "端末で「%1 parvex.so」を実行して登録してください。"},
        {IDS_HELP_MISSING, "ヘルプ %1 が見つかりません"},
        {IDS_CONVERT_DONE, "%1 を変換しました。"},
        {IDS_CONVERT_FAILED, "%1 を変換できませんでした: %2"},
        {IDS_CONVERT_RUNNING, "%1 を変換しています..."},
        {IDS_OVERWRITE, "%1 は既にあります。上書きしますか？"},
        {IDS_STORE_UNUSABLE, "設定ファイル %1 を読み書きできないため、プロバイダを表示できません。"},
        {IDS_CONFIRM_DELETE_PROVIDER, "%1を削除します。このプロバイダの全ての接続先と拡張子別転送の設定も削除されます。"
                                      "よろしいですか？"},
        // The status bar shows one line: what went wrong comes first.
        {IDS_FIRST_RUN_UNWRITTEN, "初期設定を保存できませんでした(%2)。プログラムの場所(Software\\PARVEX\\RUNNING)と"
                                  "オプションの既定値(Software\\PARVEX\\Option)は書き込まれていません。設定ファイル: %1"},
    });
    ui::RegisterIcons({
        {IDR_MAINFRAME, "preferences-system-network", ui::kUploadXpm},
        {IDI_BAR_ADD, "list-add", ui::kUploadXpm},
        {IDI_BAR_PROPERTIES, "document-properties", nullptr},
        {IDI_BAR_DELETE, "edit-delete", ui::kStopXpm},
        {IDI_BAR_OPTION, "preferences-system", nullptr},
        {IDI_ROOT, "network-workgroup", nullptr},
        {IDI_PROVIDER, "network-server", nullptr},
        {IDI_ENTRY, "folder-remote", nullptr},
        {IDI_ROW, "network-server", nullptr},
        {IDB_LABEL, "network-server", nullptr},
        {IDI_DECOR1, "mail-send", nullptr},
        {IDI_DECOR2, "web-browser", nullptr},
        {IDI_START, "media-playback-start", nullptr},
        {IDI_BROWSE, "document-open", nullptr},
        {IDI_CLOSE, "window-close", ui::kStopXpm},
    });
}

wxString FormatString(int id, const std::string& one, const std::string& two) {
    // One pass, so that an argument holding "%1" or "%2" (a provider may be
    // named so) is shown as it is.
    const wxString text = ui::LoadString(id);
    wxString out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += wxString::FromUTF8(text[i + 1] == '1' ? one : two);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace morvane

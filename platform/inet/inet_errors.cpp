#include "platform/inet/inet.h"

namespace inet {

namespace {
thread_local DWORD t_lastError = 0;
thread_local std::string t_lastResponse;
}  // namespace

// Kept by the client as it reads replies; the public getter is read-only.
void SetLastResponseInfo(std::string text) { t_lastResponse = std::move(text); }

DWORD GetLastInternetError() { return t_lastError; }
void SetLastInternetError(DWORD code) { t_lastError = code; }
const std::string& GetLastResponseInfo() { return t_lastResponse; }

std::string InternetErrorText(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return "指定されたファイルが見つかりません。";
    case ERROR_NO_MORE_FILES: return "これ以上ファイルはありません。";
    case ERROR_FILE_EXISTS: return "ファイルが既に存在します。";
    case ERROR_INVALID_PARAMETER: return "パラメータが間違っています。";
    case ERROR_INVALID_NAME: return "名前に改行または NUL 文字が含まれているため送れません。";
    case ERROR_NO_UNICODE_TRANSLATION: return "名前にサーバーの文字コードで表せない文字が含まれているため送れません。";
    case ERROR_INTERNET_TIMEOUT: return "操作がタイムアウトしました。";
    case ERROR_INTERNET_EXTENDED_ERROR: return "サーバーから拡張エラーが返されました。";
    case ERROR_INTERNET_INTERNAL_ERROR: return "内部エラーが発生しました。";
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return "サーバー名またはアドレスを解決できませんでした。";
    case ERROR_INTERNET_LOGIN_FAILURE: return "ログインできませんでした。ユーザー名またはパスワードが正しくありません。";
    case ERROR_INTERNET_OPERATION_CANCELLED: return "操作は取り消されました。";
    case ERROR_INTERNET_CANNOT_CONNECT: return "サーバーに接続できませんでした。";
    case ERROR_INTERNET_CONNECTION_ABORTED: return "サーバーとの接続が中断されました。";
    case ERROR_INTERNET_CONNECTION_RESET: return "サーバーとの接続がリセットされました。";
    case ERROR_INTERNET_INVALID_CA: return "サーバーの証明書を確認できませんでした。信頼できる証明書ではありません。";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR: return "暗号化 (TLS) された接続でエラーが発生しました。";
    case ERROR_FTP_TRANSFER_IN_PROGRESS: return "転送中のため操作を実行できません。";
    case ERROR_FTP_LISTING_UNREADABLE:
        return "サーバーから受け取ったファイル一覧を読み取れませんでした。一覧の形式に対応していません。";
    default: return {};
    }
}

static std::string ExceptionText(DWORD code) {
    if (code == ERROR_INTERNET_EXTENDED_ERROR && !GetLastResponseInfo().empty()) return GetLastResponseInfo();
    return InternetErrorText(code);
}

InternetException::InternetException(DWORD code) : std::runtime_error(ExceptionText(code)), code_(code) {}

}  // namespace inet

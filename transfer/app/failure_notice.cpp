#include "transfer/app/failure_notice.h"

#include "common/registry/layout.h"
#include "common/walk/local_tree.h"

#include <glib.h>
#include <libnotify/notify.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace dravik {

namespace {

// Names on Linux are bytes: the bus refuses a message whose text is not UTF-8.
std::string ValidUtf8(const std::string& text) {
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out = valid;
    g_free(valid);
    return out;
}

// The status line's text with its line breaks kept (a server's multi-line
// reply reads better that way) and every other control character written out.
std::string StatusText(const std::string& raw) {
    std::string text = ValidUtf8(raw), out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            out += '\n';
        } else if (c == '\t') {
            out += ' ';
        } else if (c == '\n' || (c >= 0x20 && c != 0x7F)) {
            out += text[i];
        } else {
            out += layout::Format("\\x%02X", c);
        }
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    // As long as the status line takes, and marked as cut.
    std::string clipped = walk::Clip(out);
    return clipped.size() < out.size() ? clipped + "…" : out;
}

std::string EscapeMarkup(const std::string& text) {
    gchar* escaped = g_markup_escape_text(text.data(), static_cast<gssize>(text.size()));
    std::string out = escaped;
    g_free(escaped);
    return out;
}

bool ServerReadsMarkup() {
    GList* caps = notify_get_server_caps();
    bool markup = false;
    for (GList* c = caps; c; c = c->next)
        if (std::strcmp(static_cast<const char*>(c->data), "body-markup") == 0) markup = true;
    g_list_free_full(caps, g_free);
    return markup;
}

// Runs on the sending thread: the only one in the program that uses the
// notification library, so its global state needs no lock.
bool Post(const FailedTransfer& what, std::string& error) {
    if (!notify_init("Parvex")) {
        error = "the notification library did not start";
        return false;
    }
    FailureNotice notice = ComposeFailureNotice(what, ServerReadsMarkup());
    NotifyNotification* n = notify_notification_new(notice.summary.c_str(), notice.body.c_str(), "parvex");
    notify_notification_set_category(n, "transfer.error");
    // The installed desktop entry: services take the application's name and icon from it.
    notify_notification_set_hint(n, "desktop-entry", g_variant_new_string("org.parvex.Morvane"));
    GError* err = nullptr;
    bool shown = notify_notification_show(n, &err);
    if (!shown) error = err ? err->message : "the notification service refused it";
    g_clear_error(&err);
    g_object_unref(n);
    notify_uninit();
    return shown;
}

}  // namespace

FailureNotice ComposeFailureNotice(const FailedTransfer& what, bool markup) {
    FailureNotice notice;
    notice.summary = what.aborted ? "Parvex: 転送を中断しました" : "Parvex: 転送できませんでした";
    std::string body;
    auto line = [&body](const std::string& text) { body += (body.empty() ? "" : "\n") + text; };
    // Printable writes out line breaks and cuts a name of thousands of bytes in its middle.
    // A part that is not known (no hand-off, no file reached yet) gets no line.
    if (!what.provider.empty()) line("プロバイダ: " + walk::Printable(ValidUtf8(what.provider)));
    if (!what.entry.empty()) line("転送先: " + walk::Printable(ValidUtf8(what.entry)));
    if (!what.item.empty()) line("ファイル: " + walk::Printable(ValidUtf8(what.item)));
    // A provider that takes TLS only when offered may have sent the password in clear: the user is told.
    if (!what.encryption.empty()) line("接続: " + walk::Printable(ValidUtf8(what.encryption)));
    std::string status = StatusText(what.status);
    if (!status.empty()) line(status);
    notice.body = markup ? EscapeMarkup(body) : body;
    return notice;
}

NoticeResult SendFailureNotice(const FailedTransfer& what, int waitMs) {
    struct Outcome {
        std::mutex mu;
        std::condition_variable cv;
        bool done = false;
        bool shown = false;
        std::string error;
    };
    // Shared with the thread: it may outlive this call when the service does not answer.
    auto outcome = std::make_shared<Outcome>();
    std::thread sender([outcome, what] {
        std::string error;
        bool shown = Post(what, error);
        std::lock_guard<std::mutex> lock(outcome->mu);
        outcome->shown = shown;
        outcome->error = std::move(error);
        outcome->done = true;
        outcome->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(outcome->mu);
    if (!outcome->cv.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return outcome->done; })) {
        lock.unlock();
        sender.detach();
        std::fprintf(stderr, "dravik: the notification service did not answer within %d ms\n", waitMs);
        return NoticeResult::NoAnswer;
    }
    lock.unlock();
    sender.join();
    if (outcome->shown) return NoticeResult::Shown;
    std::fprintf(stderr, "dravik: no desktop notification: %s\n", outcome->error.c_str());
    return NoticeResult::NotShown;
}

}  // namespace dravik

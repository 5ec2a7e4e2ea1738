// Native GTK dialogs in window tests. wx runs its file and folder dialogs as bare GtkFileChooserDialogs (not among
// wxTopLevelWindows) and its message boxes with gtk_dialog_run, so tests find and answer them here as the user's
// click would: the chooser's own selection and response signal.
#pragma once

#include <dlfcn.h>

#include <string>
#include <vector>

namespace testsupport {

// GTK reached at run time, so that the tests include no GTK header.
struct Gtk {
    struct List {  // GList: data, next, prev
        void* data;
        List* next;
    };
    template <typename F>
    static F Sym(const char* name) {
        return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
    }
    List* (*toplevels)() = Sym<List* (*)()>("gtk_window_list_toplevels");
    const char* (*title)(void*) = Sym<const char* (*)(void*)>("gtk_window_get_title");
    const char* (*typeName)(void*) = Sym<const char* (*)(void*)>("g_type_name_from_instance");
    int (*visible)(void*) = Sym<int (*)(void*)>("gtk_widget_get_visible");
    void (*get)(void*, const char*, ...) = Sym<void (*)(void*, const char*, ...)>("g_object_get");
    void (*respond)(void*, int) = Sym<void (*)(void*, int)>("gtk_dialog_response");
    int (*setFilename)(void*, const char*) = Sym<int (*)(void*, const char*)>("gtk_file_chooser_set_filename");
    char* (*getFilename)(void*) = Sym<char* (*)(void*)>("gtk_file_chooser_get_filename");
    void (*freeList)(List*) = Sym<void (*)(List*)>("g_list_free");
    void (*freeText)(void*) = Sym<void (*)(void*)>("g_free");
    void* (*buttonFor)(void*, int) = Sym<void* (*)(void*, int)>("gtk_dialog_get_widget_for_response");
    const char* (*label)(void*) = Sym<const char* (*)(void*)>("gtk_button_get_label");

    static constexpr int kOk = -5, kCancel = -6, kAccept = -3, kYes = -8, kNo = -9;

    bool Complete() const {
        return toplevels && title && typeName && visible && get && respond && setFilename && getFilename &&
               freeList && freeText;
    }
    // The first visible top-level window that `match` accepts, or null.
    template <typename Match>
    void* Find(Match match) const {
        void* found = nullptr;
        List* all = toplevels();
        for (List* l = all; l && !found; l = l->next)
            if (visible(l->data) && match(l->data)) found = l->data;
        freeList(all);
        return found;
    }
    void* FileChooser() const {
        return Find([this](void* w) { return std::string(typeName(w)) == "GtkFileChooserDialog"; });
    }
    std::string Filename(void* chooser) const {
        char* name = getFilename(chooser);
        std::string s = name ? name : "";
        freeText(name);
        return s;
    }
    // Puts `path` into the shown file or folder chooser and accepts it once the chooser has taken it (it selects a
    // file only after reading its folder); false while there is no chooser or it has not taken the path yet.
    bool ChooseFile(const std::string& path) const {
        void* chooser = FileChooser();
        if (!chooser) return false;
        if (Filename(chooser) != path) setFilename(chooser, path.c_str());
        if (Filename(chooser) != path) return false;
        respond(chooser, kAccept);
        return true;
    }
    // What the message box titled `caption` (any box when null) showed, the box answered with `response`; empty text
    // when there is none.
    struct Box {
        std::string text;     // "primary|secondary"
        std::string primary;
        int type = -1;        // GtkMessageType
        std::vector<std::string> yesNo;  // the labels of its Yes and No buttons, "" for a button it lacks
    };
    Box AnswerMessageBox(const char* caption, int response = kOk) const {
        void* box = Find([&](void* w) {
            return std::string(typeName(w)) == "GtkMessageDialog" &&
                   (!caption || (title(w) && std::string(title(w)) == caption));
        });
        Box b;
        if (!box) return b;
        char* primary = nullptr;
        char* secondary = nullptr;
        get(box, "text", &primary, "secondary-text", &secondary, "message-type", &b.type, nullptr);
        b.primary = primary ? primary : "";
        b.text = b.primary + "|" + (secondary ? secondary : "");
        freeText(primary);
        freeText(secondary);
        for (int id : {kYes, kNo}) {
            void* button = buttonFor ? buttonFor(box, id) : nullptr;
            b.yesNo.push_back(button && label && label(button) ? label(button) : "");
        }
        respond(box, response);
        return b;
    }
};

}  // namespace testsupport

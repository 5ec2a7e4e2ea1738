// The about box "Lumenoのバージョン情報" and its link labels.
#pragma once

#include <wx/dialog.h>
#include <wx/stattext.h>

#include <functional>

// A static text that opens its target (a URL) when clicked: blue while not
// yet opened, purple afterwards, underlined, with a hand pointer and a tooltip.
class CLinkLabel : public wxStaticText {
public:
    // `open` opens a target and says whether it could.
    CLinkLabel(wxWindow* parent, const wxString& text, const wxString& target,
               std::function<bool(const wxString&)> open);

    const wxString& Target() const { return target_; }
    bool Visited() const { return visited_; }
    // What a click does: opens the target; marks the link opened, or beeps when it could not.
    void Open();

private:
    wxString target_;
    std::function<bool(const wxString&)> open_;
    bool visited_ = false;
};

class CAboutDlg : public wxDialog {
public:
    CAboutDlg(wxWindow* parent, std::function<bool(const wxString&)> open);

    CLinkLabel* MailLink() const { return mail_; }
    CLinkLabel* HomeLink() const { return home_; }

private:
    CLinkLabel* mail_ = nullptr;
    CLinkLabel* home_ = nullptr;
};

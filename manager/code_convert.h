// The code conversion tool: a dialog that converts one text file into
// Shift_JIS, JIS or EUC through libtesvar on a worker thread, and the
// conversions it starts, which run on after the dialog closes.
#pragma once

#include <wx/dialog.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CImageButton;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

// How one conversion ended.
struct ConversionResult {
    std::string source;
    std::string destination;
    int status = 0;  // libtesvar's result, TESVAR_OK on success
    int error = 0;   // errno after a failure
};

// Conversions on worker threads. Each worker owns copies of its code and
// paths, so a further start or the dialog's end never changes what it
// converts. The listener hears of each end on the UI thread.
class ConversionJobs {
public:
    using Listener = std::function<void(const ConversionResult&)>;

    ConversionJobs();
    // Waits for every conversion still running: none outlives its owner.
    ~ConversionJobs();
    ConversionJobs(const ConversionJobs&) = delete;
    ConversionJobs& operator=(const ConversionJobs&) = delete;

    // Starts converting `source` into `destination` in `code` (0 SJIS, 1 JIS, 2 EUC).
    void Start(int code, std::string source, std::string destination);
    // Who hears of the ends (UI thread only); an empty one stops it.
    void SetListener(Listener listener);
    // Conversions not yet ended.
    int Running() const { return *running_; }
    void WaitAll();

private:
    struct Shared {
        Listener listener;  // touched on the UI thread only
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void ReapFinished();

    std::shared_ptr<Shared> shared_;
    std::shared_ptr<std::atomic<int>> running_;
    std::vector<Worker> workers_;
};

class CCodeConvertDlg : public wxDialog {
public:
    CCodeConvertDlg(wxWindow* parent, ConversionJobs& jobs);
    ~CCodeConvertDlg() override;

    wxTextCtrl* SourceEdit() const { return source_; }
    wxTextCtrl* DestinationEdit() const { return destination_; }
    CImageButton* StartButton() const { return start_; }
    CImageButton* CloseButton() const { return close_; }
    wxRadioButton* CodeRadio(int id) const;
    // The sunken text under "ファイル情報": what the last conversion did.
    wxString InfoText() const;

    // The start button's work: checks the names and starts a conversion.
    void StartConversion();
    // The code number of the checked button: 0 SJIS, 1 JIS, 2 EUC, -1 none.
    int CheckedCode() const;

private:
    void Browse(bool source);
    void ShowResult(const ConversionResult& r);

    ConversionJobs& jobs_;
    wxTextCtrl* source_ = nullptr;
    wxTextCtrl* destination_ = nullptr;
    CImageButton* start_ = nullptr;
    CImageButton* close_ = nullptr;
    wxStaticText* info_ = nullptr;
    std::string confirmedDestination_;  // chosen in the save dialog, which asked before replacing it
};

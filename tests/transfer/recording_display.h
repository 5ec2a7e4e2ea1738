// A progress display that records what the upload reports, for the tests.
#pragma once

#include "transfer/progress.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace transfertest {

class RecordingDisplay : public transfer::ProgressDisplay {
public:
    void SetStatusText(const std::string& text) override { Add("status:" + text); status = text; }
    void RepaintStatus() override {}
    void SetRange(std::int32_t low, std::int32_t high) override {
        Add("range:" + std::to_string(low) + "-" + std::to_string(high));
    }
    void SetStep(std::int32_t step) override { Add("step:" + std::to_string(step)); }
    void StepIt() override { Add("stepit"); }
    void PlayAnimation() override { Add("play"); }
    void EndDisplay() override { Add("end"); }
    void TransferEnded(bool succeeded) override { Add(succeeded ? "ended:ok" : "ended:failed"); }
    void SetCurrentItem(const std::string& text) override { item = text; }
    void SetEncryption(const std::string& state) override { Add("encryption:" + state); }
    bool AskTrustCertificate(const std::string& server, const inet::CertificateInfo& cert,
                             const inet::Security& security) override {
        Add("asked:" + server);
        return trust && trust(cert, security);
    }

    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(mu_);
        return events_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mu_);
        events_.clear();
        item.clear();
    }
    std::string status;
    std::string item;  // the walker's current item, as the dialog last heard it
    // The user's answer to the certificate question; unset: not trusted.
    std::function<bool(const inet::CertificateInfo&, const inet::Security&)> trust;

private:
    void Add(std::string e) {
        std::lock_guard<std::mutex> lock(mu_);
        events_.push_back(std::move(e));
    }
    std::mutex mu_;
    std::vector<std::string> events_;
};

}  // namespace transfertest

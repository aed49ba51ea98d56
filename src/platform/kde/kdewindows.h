#pragma once

// Window access on KWin through its scripting, which any program of the
// session may use over D-Bus: one script, loaded once for the backend's
// life, asks the program what to do next (a call the program answers when it
// has a question, "idle" every few seconds meanwhile) and reports the
// windows after each answer: title, program, process, whether active, and
// geometry, topmost first. So a look costs two D-Bus messages, and no script
// is loaded per look. Ids count up per KWin window, never reused while the
// backend lives. No Qt in this header.

#include "platform/windowaccess.h"

#include <memory>
#include <string>

namespace platform::kde {

class KdeWindows final : public WindowAccess {
public:
    // Loads the script into the KWin of the session bus; on failure returns
    // null and says why in `error` (KWin not there, the script refused or
    // silent).
    static std::unique_ptr<KdeWindows> create(std::string &error);
    ~KdeWindows() override;

    std::vector<WindowInfo> windows() override;
    bool info(std::uint64_t id, WindowInfo &out) override;
    std::uint64_t activeWindow() override;
    std::uint64_t windowAt(int x, int y) override;
    bool activate(std::uint64_t id) override;

    // The focused window's program (its desktop file name, else its class):
    // which keys paste there. Empty when unknown.
    std::string activeProgram();
    // False once KWin stopped answering.
    bool answering();

    struct Impl;

private:
    KdeWindows();
    std::unique_ptr<Impl> d_;
};

} // namespace platform::kde

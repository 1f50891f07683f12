// The desktop's own directory chooser, which stands in for the shell's folder browser:
// zenity, else kdialog (the first of the two that PATH holds, in that order), run as a
// child process whose answer comes back on its standard output.
//
// Any thread. Start returns at once; Wait blocks until the chooser has ended, so a UI
// thread runs it elsewhere and keeps pumping its messages; Cancel ends the chooser from any
// thread. Folders are Windows form on both sides: the start folder is shown as its host
// directory (its nearest existing parent when it does not exist yet), the answer comes
// back through the drive map.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>

namespace platform {

class FolderChooser {
public:
    FolderChooser() = default;
    // Cancels a chooser still open and reaps it.
    ~FolderChooser();
    FolderChooser(const FolderChooser&) = delete;
    FolderChooser& operator=(const FolderChooser&) = delete;

    // False when neither program is on PATH (ERROR_FILE_NOT_FOUND), the chooser could not
    // be started, or this object already started one.
    bool Start(const std::wstring& title, const std::wstring& startFolder);
    // The chosen folder; empty when the user cancelled, the chooser failed or answered
    // with something that is not an absolute directory, or Cancel was called.
    std::wstring Wait();
    void Cancel();

private:
    std::mutex m_mutex;
    pid_t m_pid = 0;
    int m_output = -1;
    bool m_running = false;
    bool m_cancelled = false;
};

}  // namespace platform

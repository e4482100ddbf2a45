#pragma once

// Other processes at work on the files a test uses: one holding a file's lock, as a running
// server, a second Entorra or entorra-cli would; one running as another user. POSIX only.

#include <sys/types.h>

#include <functional>
#include <string>

namespace entorra::testing {

enum class HeldAs {
    Reader,  // a shared lock
    Writer,  // an exclusive lock
};

class CLockHolder {
public:
    // Opens path in a child process and locks it; Held says whether it could.
    explicit CLockHolder(const std::string& path, HeldAs kind = HeldAs::Writer);
    ~CLockHolder();
    CLockHolder(const CLockHolder&) = delete;
    CLockHolder& operator=(const CLockHolder&) = delete;

    bool Held() const { return m_bHeld; }
    // Lets go of the lock and waits for the child to end; safe to call from another thread.
    void Release();

private:
    int m_nRelease = -1;
    pid_t m_child = -1;
    bool m_bHeld = false;
};

// Runs work in a child process with the given user and group (no supplementary groups) and
// returns what it returned, or -1 when the child could not take that identity or died. Only
// root may do this; callers skip otherwise.
int RunAsUser(uid_t user, gid_t group, const std::function<int()>& work);

// Runs work in a child process that has lost one capability (CAP_CHOWN...), as a root kept from
// handing files to others would be; -1 when the capability could not be dropped.
int RunWithoutCapability(int capability, const std::function<int()>& work);

}  // namespace entorra::testing

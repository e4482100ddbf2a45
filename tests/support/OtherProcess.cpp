#include "tests/support/OtherProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace entorra::testing {

CLockHolder::CLockHolder(const std::string& path, HeldAs kind) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0) {
        throw std::runtime_error("pipe");
    }
    if (::pipe(release) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        throw std::runtime_error("pipe");
    }
    m_child = ::fork();
    if (m_child == 0) {
        ::close(release[1]);
        ::close(ready[0]);
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
        const int operation = kind == HeldAs::Reader ? LOCK_SH : LOCK_EX;
        const char ok = (descriptor >= 0 && ::flock(descriptor, operation) == 0) ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char wait = 0;
        (void)!::read(release[0], &wait, 1);
        ::_exit(0);
    }
    ::close(release[0]);
    ::close(ready[1]);
    m_nRelease = release[1];
    char ok = 0;
    (void)!::read(ready[0], &ok, 1);
    ::close(ready[0]);
    m_bHeld = ok == 'y';
}

CLockHolder::~CLockHolder() {
    Release();
}

void CLockHolder::Release() {
    if (m_nRelease < 0) {
        return;
    }
    ::close(m_nRelease);
    m_nRelease = -1;
    int status = 0;
    ::waitpid(m_child, &status, 0);
}

int RunAsUser(uid_t user, gid_t group, const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(group, group, group) != 0 ||
            ::setresuid(user, user, user) != 0) {
            ::_exit(255);
        }
        ::_exit(work() & 0x7f);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
}

int RunWithoutCapability(int capability, const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (::syscall(SYS_capget, &header, data) != 0) {
            ::_exit(255);
        }
        const auto word = static_cast<std::size_t>(capability / 32);
        const auto bit = ~(1u << (capability % 32));
        data[word].effective &= bit;
        data[word].permitted &= bit;
        data[word].inheritable &= bit;
        if (::syscall(SYS_capset, &header, data) != 0) {
            ::_exit(255);
        }
        ::_exit(work() & 0x7f);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace entorra::testing

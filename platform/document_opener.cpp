#include "document_opener.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using platform::document_opener::Opening;

namespace
{
    platform::document_opener::Handler testHandler;

    // The outer shell starts the openers in the background and leaves at
    // once, so the openers belong to init, not to us. The first opener that
    // succeeds ends the search; the status goes to descriptor 3, which the
    // openers themselves do not inherit.
    const char* const script =
        "( for opener in xdg-open x-www-browser; do"
        "    command -v \"$opener\" >/dev/null 2>&1 || continue;"
        "    \"$opener\" \"$1\" >/dev/null 2>&1 3>&- && { echo 0 >&3; exit 0; };"
        "  done;"
        "  echo 1 >&3 ) &";
}

Opening::~Opening()
{
    if (pipe >= 0)
        ::close (pipe);
}

Opening::Outcome Opening::poll()
{
    if (pipe < 0)
        return outcome;

    char status = 0;
    const auto n = ::read (pipe, &status, 1);

    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return Outcome::pending;

    // Nothing written before the pipe closed: the shell never ran.
    outcome = n == 1 && status == '0' ? Outcome::opened : Outcome::failed;
    ::close (pipe);
    pipe = -1;
    return outcome;
}

std::unique_ptr<Opening> platform::document_opener::open (const juce::String& fileOrUrl)
{
    if (testHandler)
        return std::make_unique<Opening> (testHandler (fileOrUrl) ? Opening::Outcome::opened : Opening::Outcome::failed);

    int fds[2];

    if (::pipe2 (fds, O_CLOEXEC) != 0)
        return std::make_unique<Opening> (Opening::Outcome::failed);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_adddup2 (&actions, fds[1], 3);
    posix_spawn_file_actions_addopen (&actions, 0, "/dev/null", O_RDONLY, 0);

    // The target is an argument of the script, never part of its text.
    char* const argv[] = { const_cast<char*> ("/bin/sh"), const_cast<char*> ("-c"), const_cast<char*> (script),
                           const_cast<char*> ("sh"), const_cast<char*> (fileOrUrl.toRawUTF8()), nullptr };
    pid_t shell = -1;
    const int spawned = posix_spawn (&shell, "/bin/sh", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy (&actions);
    ::close (fds[1]);

    if (spawned != 0)
    {
        ::close (fds[0]);
        return std::make_unique<Opening> (Opening::Outcome::failed);
    }

    // The outer shell only starts the background job: reaping it is quick.
    while (::waitpid (shell, nullptr, 0) < 0 && errno == EINTR) {}

    ::fcntl (fds[0], F_SETFL, O_NONBLOCK);
    return std::make_unique<Opening> (fds[0]);
}

void platform::document_opener::setHandlerForTesting (Handler handler)
{
    testHandler = std::move (handler);
}

#pragma once

// The plug-in clients set the framework up (its message manager, message
// thread and timer thread) with each instance and tear it down with the last
// one, through an unguarded count: an instance made on one thread while the
// last other one was deleted on another ran both at once, and a message thread
// stopped under a live message manager left it refusing every message.
namespace framework_lifetime
{
    // Keeps the framework set up from the first call until the library is
    // unloaded. For plug-in clients only: it runs a message thread of its own.
    void keepSetUpUntilUnloaded();
}

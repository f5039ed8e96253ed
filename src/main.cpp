#include <csignal>

#include "platform/standin/gtk/gtk.hpp"
#include "startup/startup.hpp"

int main() {
    const int status =
        kelvo::runApplication(kelvo::processStartupSystem(kelvo::standin::gtkStandIn()), kelvo::vostraStudioApp());
    // The run has ended: what is left is the process's exit, which a late SIGTERM need not cut
    // short.
    std::signal(SIGTERM, SIG_IGN);
    return status;
}

#include "platform/standin/gtk/gtk.hpp"
#include "startup/startup.hpp"

int main() {
    return kelvo::runApplication(kelvo::processStartupSystem(kelvo::standin::gtkStandIn()), kelvo::vostraStudioApp());
}
